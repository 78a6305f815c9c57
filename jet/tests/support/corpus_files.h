// The sample databases under JET_CORPUS_DIR, read in place for the index
// tests. Tests skip when the folder is absent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/format.h"
#include "jet/format/table_def.h"

namespace jet::testing {

struct CorpusFile {
  std::string name;  // "jet4/v2000-test.mdb"
  Version version = Version::Jet4;
  std::vector<std::uint8_t> bytes;

  std::uint32_t page_count() const { return static_cast<std::uint32_t>(bytes.size() / page_size(version)); }
  Bytes page(std::uint32_t number) const;
  PageSource page_source() const;
};

bool corpus_available();
// Every .mdb file of the corpus (none has encrypted pages), sorted by name.
std::vector<CorpusFile> load_corpus();

}  // namespace jet::testing

namespace jet::testing {

struct IndexRoot {
  std::uint32_t table_page;
  std::uint32_t root_page;
};

// The root of every index tree in the file: index pages that no intermediate
// page points at and that have no previous page.
std::vector<IndexRoot> index_roots(const CorpusFile& file);

}  // namespace jet::testing
