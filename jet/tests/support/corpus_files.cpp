#include "support/corpus_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "jet/base/error.h"

namespace jet::testing {

namespace fs = std::filesystem;

Bytes CorpusFile::page(std::uint32_t number) const {
  const std::size_t size = page_size(version);
  if (number >= page_count()) throw Error(ErrorCode::Io, "page " + std::to_string(number) + " is past the end");
  return Bytes(bytes).subspan(number * size, size);
}

PageSource CorpusFile::page_source() const {
  return [this](std::uint32_t number) {
    Bytes p = page(number);
    return std::vector<std::uint8_t>(p.begin(), p.end());
  };
}

bool corpus_available() { return fs::is_directory(JET_CORPUS_DIR); }

std::vector<CorpusFile> load_corpus() {
  std::vector<CorpusFile> files;
  if (!corpus_available()) return files;
  for (const auto& entry : fs::recursive_directory_iterator(JET_CORPUS_DIR)) {
    if (entry.path().extension() != ".mdb") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    CorpusFile file;
    file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (file.bytes.size() < 0x800) continue;
    file.version = file.bytes[0x14] == 0 ? Version::Jet3 : Version::Jet4;
    file.name = fs::relative(entry.path(), JET_CORPUS_DIR).generic_string();
    files.push_back(std::move(file));
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return files;
}

}  // namespace jet::testing

#include <map>
#include <set>

#include "jet/format/index_page.h"

namespace jet::testing {

std::vector<IndexRoot> index_roots(const CorpusFile& file) {
  std::map<std::uint32_t, IndexPage> pages;
  for (std::uint32_t n = 1; n < file.page_count(); ++n) {
    Bytes raw = file.page(n);
    if (raw[0] == 0x03 || raw[0] == 0x04) pages[n] = decode_index_page(file.version, n, raw);
  }
  std::set<std::uint32_t> children;
  for (const auto& [n, p] : pages) {
    for (const auto& e : p.entries) children.insert(e.child);
    children.insert(p.tail_page);
  }
  std::vector<IndexRoot> roots;
  for (const auto& [n, p] : pages) {
    if (!children.count(n) && p.prev_page == 0) roots.push_back(IndexRoot{p.table_page, n});
  }
  return roots;
}

}  // namespace jet::testing
