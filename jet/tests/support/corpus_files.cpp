#include "support/corpus_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "jet/error.h"

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
    file.name = fs::relative(entry.path(), JET_CORPUS_DIR).string();
    files.push_back(std::move(file));
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return files;
}

}  // namespace jet::testing
