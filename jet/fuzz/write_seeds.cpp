// Writes the seed corpus of the check_dump fuzzer into a folder of the build
// tree: every sample database of at most 160 KiB, whole and cut to its first
// eight pages (header, free-page map, catalog and the first table
// definitions), so that mutations also start from inputs that run quickly.
//
// Usage: jet_fuzz_write_seeds CORPUS_DIR OUT_DIR. A missing corpus writes an
// empty seed folder; the fuzzer then starts from nothing.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kLargestSeed = 160 * 1024;
constexpr std::size_t kCutPages = 8;

std::vector<char> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const std::vector<char>& bytes, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(std::min(size, bytes.size())));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: jet_fuzz_write_seeds CORPUS_DIR OUT_DIR\n";
    return 2;
  }
  fs::path corpus = argv[1];
  fs::path out = argv[2];
  fs::create_directories(out);
  int written = 0;
  std::error_code ignored;
  if (fs::is_directory(corpus, ignored)) {
    for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
      if (!entry.is_regular_file() || entry.path().extension() != ".mdb") continue;
      if (entry.file_size() > kLargestSeed) continue;
      std::vector<char> bytes = read_file(entry.path());
      // Version byte 0 is Jet 3 with 2 KiB pages; the others have 4 KiB.
      std::size_t page_size = bytes.size() > 0x14 && bytes[0x14] == 0 ? 2048 : 4096;
      std::string name = entry.path().parent_path().filename().string() + "-" + entry.path().stem().string();
      write_file(out / (name + ".mdb"), bytes, bytes.size());
      write_file(out / (name + "-cut.mdb"), bytes, kCutPages * page_size);
      written += 2;
    }
  }
  std::ofstream(out.string() + ".written") << written << "\n";
  std::cout << "wrote " << written << " seeds to " << out.string() << "\n";
  return 0;
}
