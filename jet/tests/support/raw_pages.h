// Sample databases read whole into memory, page by page, without the engine's
// pager: the structure tests decode pages of real files through this.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/format/format.h"
#include "jet/format/table_def.h"
#include "jet/format/value.h"

namespace jet::testing {

struct RawDatabase {
  std::string path;
  std::string name;  // relative to the corpus folder, e.g. "jet4/v2000-test.mdb"
  Version version = Version::Jet4;
  std::vector<std::uint8_t> bytes;

  std::uint32_t page_count() const { return static_cast<std::uint32_t>(bytes.size() / page_size(version)); }
  std::vector<std::uint8_t> page(std::uint32_t number) const;
  PageSource source() const;
  // Every table definition found by scanning the pages: type-2 pages no
  // other definition continues onto, that decode with a known table type.
  // Stale pages of dropped tables may be among them.
  std::vector<TableDef> table_defs() const;
  // The rows of the catalog (page 2), long values included, one value per
  // column of its definition.
  std::vector<std::vector<Value>> catalog_rows() const;
};

// The corpus folder, or empty when it is absent.
std::filesystem::path corpus_dir();
// Every .mdb file of the corpus, sorted by name.
std::vector<RawDatabase> corpus_databases();

}  // namespace jet::testing
