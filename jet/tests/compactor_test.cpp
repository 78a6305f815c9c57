#include "jet/compactor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>

#include "jet/data_page.h"
#include "jet/index_walk.h"
#include "jet/maintenance.h"
#include "jet/usage_map.h"
#include "jet/verify.h"
#include "support/raw_pages.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

std::string run(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>/dev/null").c_str(), "r"), pclose);
  std::string out;
  if (!pipe) return out;
  char chunk[4096];
  while (std::size_t n = fread(chunk, 1, sizeof chunk, pipe.get())) out.append(chunk, n);
  return out;
}

bool have_mdbtools() { return !run("command -v mdb-export").empty(); }

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// The user tables mdb-tables lists, sorted: it lists them in catalog order,
// which compaction changes.
std::vector<std::string> user_tables(const std::string& path) {
  std::vector<std::string> out = lines(run("mdb-tables -1 '" + path + "'"));
  std::erase_if(out, [](const std::string& s) { return s.empty(); });
  std::sort(out.begin(), out.end());
  return out;
}

// A table's rows as mdb-export prints them, in a canonical order: compaction
// reorders rows by primary key.
std::vector<std::string> exported(const std::string& path, const std::string& table) {
  std::vector<std::string> out = lines(run("mdb-export -b hex '" + path + "' '" + table + "'"));
  std::sort(out.begin(), out.end());
  return out;
}

const std::string kOracle = std::string(JET_SOURCE_DIR) + "/tests/oracle";

bool have_mdb_reader() {
  return !run("command -v node").empty() && std::filesystem::exists(kOracle + "/node_modules/mdb-reader");
}

// Every row of the user tables as mdb-reader reads them (one JSON object a
// line, sorted), system tables left out: their rows hold the ids compaction
// rewrites.
std::vector<std::string> mdb_reader_rows(const std::string& path) {
  std::vector<std::string> out = lines(run("node '" + kOracle + "/dump.mjs' '" + path + "'"));
  std::erase_if(out, [](const std::string& line) {
    return line.empty() || line.rfind("{\"table\":\"MSys", 0) == 0;
  });
  std::sort(out.begin(), out.end());
  return out;
}

testing::RawDatabase load(const std::string& path) {
  testing::RawDatabase db;
  db.path = path;
  db.name = path;
  db.bytes = testing::read_file_bytes(path);
  db.version = db.bytes[0x14] == 0 ? Version::Jet3 : Version::Jet4;
  return db;
}

// The structures of a compacted file agree with each other: each table's
// owned pages are its data pages, no page is free, every index walks clean.
void expect_consistent(const std::string& path) {
  const testing::RawDatabase db = load(path);
  const std::uint32_t count = db.page_count();
  const UsageMap free_map = read_free_page_map(db.version, count, db.source());
  EXPECT_TRUE(free_map.pages.empty()) << "no page of a compacted file is free";
  for (const TableDef& def : db.table_defs()) {
    const UsageMap owned = read_usage_map(db.version, def.owned_pages, count, db.source());
    std::size_t rows = 0;
    for (std::uint32_t page : owned.pages) {
      const auto bytes = db.page(page);
      const DataPage header = decode_data_page(bytes, db.version, page);
      EXPECT_EQ(header.owner, def.page);
      rows += header.slots.size();
    }
    EXPECT_EQ(rows, def.row_count) << "table at page " << def.page;
    for (const RealIndexDef& index : def.real_indexes) {
      const IndexWalk walk = check_index(db.version, def.page, index.first_page, IndexWalkOptions{count}, db.source());
      EXPECT_TRUE(walk.problems.empty()) << "index " << index.number << " of table at " << def.page << ": "
                                         << (walk.problems.empty() ? "" : walk.problems.front().what);
      if (!index.ignores_nulls()) {
        EXPECT_EQ(walk.entries.size(), def.row_count) << "index " << index.number << " of table at " << def.page;
      }
    }
  }
}

class CompactCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(CompactCorpus, EveryTableReadsAsInTheSourceAndCompactingAgainChangesNothing) {
  const std::filesystem::path source = testing::corpus_dir() / GetParam();
  if (testing::corpus_dir().empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  testing::TempFolder folder;
  const std::string once = folder.file("once.mdb");
  const std::string twice = folder.file("twice.mdb");
  const MaintenanceReport report = compact(source.string(), once);
  EXPECT_TRUE(report.errors.empty()) << report.errors.front().description;
  EXPECT_LE(report.result_bytes, report.source_bytes);
  expect_consistent(once);
  const FindingList findings = verify(once);
  EXPECT_TRUE(findings.clean()) << format_report(findings);

  compact(once, twice);
  EXPECT_TRUE(testing::read_file_bytes(once) == testing::read_file_bytes(twice)) << "compacting again changed bytes";

  if (have_mdb_reader()) {
    EXPECT_EQ(mdb_reader_rows(once), mdb_reader_rows(source.string()));
  }
  if (!have_mdbtools()) GTEST_SKIP() << "mdbtools is not installed";
  const auto tables = user_tables(source.string());
  EXPECT_EQ(user_tables(once), tables);
  for (const std::string& table : tables) EXPECT_EQ(exported(once, table), exported(source.string(), table)) << table;
  for (const char* system : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
    EXPECT_EQ(exported(once, system).size(), exported(source.string(), system).size()) << system;
  }
}

std::vector<std::string> corpus_names() {
  std::vector<std::string> names;
  for (const auto& db : testing::corpus_databases()) names.push_back(db.name);
  if (names.empty()) names.push_back("absent");
  return names;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CompactCorpus, ::testing::ValuesIn(corpus_names()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(Compact, RefusesAnExistingDestinationAndLeavesItAlone) {
  if (testing::corpus_dir().empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  testing::TempFolder folder;
  const std::string existing = folder.file("there.mdb");
  testing::write_file_bytes(existing, {1, 2, 3});
  try {
    compact((testing::corpus_dir() / "jet4/v2000-empty.mdb").string(), existing);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::AlreadyExists);
  }
  EXPECT_EQ(testing::read_file_bytes(existing), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(Compact, AFailingDiskLeavesNoDestination) {
  if (testing::corpus_dir().empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  const auto bytes = testing::read_file_bytes((testing::corpus_dir() / "jet4/v2000-test.mdb").string());
  const MemoryFile source(bytes);
  for (std::uint64_t budget : {0u, 5u, 40u}) {
    MemoryFile inner;
    FailAfterFile out(inner, budget);
    EXPECT_THROW(compact_database(source, out), Error) << budget;
  }
  testing::TempFolder folder;
  EXPECT_THROW(compact(folder.file("missing.mdb"), folder.file("out.mdb")), Error);
  EXPECT_TRUE(folder.entries().empty());
}

}  // namespace
}  // namespace jet
