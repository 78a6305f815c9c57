#include "support/raw_pages.h"

#include <algorithm>
#include <set>

#include "jet/file.h"

namespace jet::testing {

std::vector<std::uint8_t> RawDatabase::page(std::uint32_t number) const {
  const std::size_t size = page_size(version);
  if (number >= page_count()) throw Error(ErrorCode::Io, "page " + std::to_string(number) + " past the end");
  return std::vector<std::uint8_t>(bytes.begin() + number * size, bytes.begin() + (number + 1) * size);
}

PageSource RawDatabase::source() const {
  return [this](std::uint32_t number) { return page(number); };
}

std::vector<TableDef> RawDatabase::table_defs() const {
  std::set<std::uint32_t> continuations;
  for (std::uint32_t p = 1; p < page_count(); ++p) {
    const auto bytes = page(p);
    if (bytes[0] == 0x02 && load_u32(&bytes[4]) != 0) continuations.insert(load_u32(&bytes[4]));
  }
  std::vector<TableDef> defs;
  for (std::uint32_t p = 1; p < page_count(); ++p) {
    if (page(p)[0] != 0x02 || continuations.count(p)) continue;
    try {
      TableDef def = read_table_def(version, p, page_count(), source());
      if (def.raw_type == 0x4E || def.raw_type == 0x53) defs.push_back(std::move(def));
    } catch (const Error&) {
      // A stale page of a dropped table's definition.
    }
  }
  return defs;
}

std::filesystem::path corpus_dir() {
  std::filesystem::path dir = JET_CORPUS_DIR;
  return std::filesystem::is_directory(dir) ? dir : std::filesystem::path();
}

std::vector<RawDatabase> corpus_databases() {
  std::vector<RawDatabase> out;
  const std::filesystem::path dir = corpus_dir();
  if (dir.empty()) return out;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (entry.path().extension() != ".mdb") continue;
    RawDatabase db;
    db.path = entry.path().string();
    db.name = std::filesystem::relative(entry.path(), dir).string();
    db.bytes = read_all(*PosixFile::open(db.path, PosixFile::Mode::ReadOnly));
    db.version = db.bytes.size() > 0x14 && db.bytes[0x14] == 0 ? Version::Jet3 : Version::Jet4;
    out.push_back(std::move(db));
  }
  std::sort(out.begin(), out.end(), [](const RawDatabase& a, const RawDatabase& b) { return a.name < b.name; });
  return out;
}

}  // namespace jet::testing
