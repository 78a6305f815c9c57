// Writes the seed corpus of the salvage fuzzer into a folder of the build
// tree: a small generated database in each format, whole and damaged in each
// of the ways a repair meets most (a scrambled header, catalog definition,
// data page, long-value page or index page; a looping definition chain; a
// file cut at and inside a page; the catalog's rows zeroed, with and without
// its indexes, or flagged deleted), so that mutations start next to every
// recovery path rather than having to find a valid file first.
//
// Usage: jet_fuzz_write_salvage_seeds OUT_DIR
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "jet/base/file.h"
#include "jet/write/generate.h"
#include "support/damage.h"

namespace fs = std::filesystem;
using jet::testing::Image;

namespace {

// Few rows keep every seed well under the fuzzer's input limit and each run
// short, while every table still has rows, long values and index pages.
constexpr std::uint64_t kRows = 3;

Image generated(jet::Version version) {
  jet::MemoryFile file;
  jet::GenerateOptions options;
  options.version = version;
  options.rows = kRows;
  jet::generate_database(file, options);
  return file.bytes();
}

// The healthy image and its damaged variants, by name.
std::vector<std::pair<std::string, Image>> variants(const Image& healthy) {
  using namespace jet::testing;
  std::size_t page = image_page_size(healthy);
  std::vector<std::pair<std::string, Image>> out{
      {"whole", healthy},
      {"header-noise", with_noise_page(healthy, 0, 1, true)},
      {"catalog-definition-noise", with_noise_page(healthy, 2, 2, true)},
      {"catalog-definition-loop", with_tdef_next(healthy, 2, 2)},
      {"cut-at-page", truncated(healthy, healthy.size() - page)},
      {"cut-inside-page", truncated(healthy, healthy.size() - page / 2)},
  };
  if (auto data = first_user_data_page(healthy)) {
    out.emplace_back("data-page-noise", with_noise_page(healthy, *data, 3, true));
  }
  if (auto lval = long_value_pages(healthy); !lval.empty()) {
    out.emplace_back("long-value-loop", with_lval_rows_linked_to_self(healthy, lval.front()));
    out.emplace_back("long-value-noise", with_noise_page(healthy, lval.front(), 4, true));
  }
  if (auto index = pages_of_type(healthy, 0x04); !index.empty()) {
    out.emplace_back("index-leaf-noise", with_noise_page(healthy, index.front(), 5, true));
  }
  // The catalog's rows lost: its tables are found from their definitions and
  // named from its indexes, from older copies of its rows, or not at all.
  if (auto rows = catalog_pages(healthy, 0x01); !rows.empty()) {
    Image zeroed = with_zeroed_pages(healthy, rows);
    out.emplace_back("catalog-rows-zeroed", zeroed);
    out.emplace_back("catalog-rows-deleted", with_catalog_rows_deleted(healthy));
    for (std::uint8_t type : {0x03, 0x04}) zeroed = with_zeroed_pages(zeroed, catalog_pages(zeroed, type));
    out.emplace_back("catalog-rows-and-indexes-zeroed", zeroed);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: jet_fuzz_write_salvage_seeds OUT_DIR\n";
    return 2;
  }
  fs::path out = argv[1];
  fs::create_directories(out);
  int written = 0;
  for (auto [version, name] : {std::pair{jet::Version::Jet3, "jet3"}, std::pair{jet::Version::Jet4, "jet4"}}) {
    for (const auto& [damage, bytes] : variants(generated(version))) {
      std::ofstream file(out / (std::string(name) + "-" + damage + ".mdb"), std::ios::binary | std::ios::trunc);
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      ++written;
    }
  }
  std::ofstream(out.string() + ".written") << written << "\n";
  std::cout << "wrote " << written << " seeds to " << out.string() << "\n";
  return 0;
}
