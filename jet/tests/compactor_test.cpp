#include "jet/compactor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/generate.h"
#include "jet/header.h"
#include "jet/index_walk.h"
#include "jet/maintenance.h"
#include "jet/pager.h"
#include "jet/usage_map.h"
#include "jet/verify.h"
#include "support/raw_pages.h"
#include "support/snapshot.h"
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
      std::set<std::vector<std::uint8_t>> keys;
      for (const IndexEntry& entry : walk.entries) keys.insert(entry.key);
      EXPECT_EQ(index.unique_entry_count, keys.size()) << "index " << index.number << " of table at " << def.page;
      if (!index.ignores_nulls()) {
        EXPECT_EQ(walk.entries.size(), def.row_count) << "index " << index.number << " of table at " << def.page;
      }
    }
  }
}

std::string shape_text(const TableDef& def) {
  std::string out = "rows " + std::to_string(def.row_count) + " max_columns " + std::to_string(def.max_columns) +
                    " variable " + std::to_string(def.variable_column_count) + " columns " + std::to_string(def.columns.size());
  for (const RealIndexDef& index : def.real_indexes) {
    out += " [index " + std::to_string(index.number) + " flags " + std::to_string(index.flags) + " unique " +
           std::to_string(index.unique_entry_count) + "]";
  }
  for (const LogicalIndexDef& index : def.logical_indexes) out += " {" + index.name + "}";
  return out;
}

// The compacted copy holds what the source holds: every catalog object with
// its columns and properties, every table's shape and rows, and every index's
// entries, each leading to the same row.
void expect_same_content(const testing::DatabaseSnapshot& source, const testing::DatabaseSnapshot& copy) {
  EXPECT_EQ(copy.header.version, source.header.version);
  EXPECT_EQ(copy.header.code_page, source.header.code_page);
  EXPECT_EQ(copy.header.sort_order, source.header.sort_order);
  EXPECT_EQ(copy.header.creation_date, source.header.creation_date);
  EXPECT_EQ(copy.free_pages, 0u);

  std::vector<std::string> source_objects, copy_objects;
  for (const auto& [path, object] : source.objects) source_objects.push_back(path);
  for (const auto& [path, object] : copy.objects) copy_objects.push_back(path);
  EXPECT_EQ(copy_objects, source_objects);
  for (const auto& [path, object] : source.objects) {
    const auto it = copy.objects.find(path);
    if (it == copy.objects.end()) continue;
    const testing::ObjectSnapshot& other = it->second;
    EXPECT_EQ(other.id, object.id) << path;
    EXPECT_EQ(other.type, object.type) << path;
    EXPECT_EQ(other.flags, object.flags) << path;
    EXPECT_EQ(other.columns, object.columns) << path;
    EXPECT_EQ(other.properties_error, object.properties_error) << path;
    EXPECT_TRUE(other.properties == object.properties) << path << ": properties differ";
  }

  ASSERT_EQ(copy.tables.size(), source.tables.size());
  for (const auto& [name, table] : source.tables) {
    const auto it = copy.tables.find(name);
    ASSERT_NE(it, copy.tables.end()) << name;
    const testing::TableSnapshot& other = it->second;
    EXPECT_EQ(other.error, "") << name;
    if (!table.error.empty()) continue;  // nothing to compare with
    EXPECT_TRUE(other.shape == table.shape) << name << ": definitions differ\n" << shape_text(other.shape) << "\n" << shape_text(table.shape);
    EXPECT_EQ(other.related, table.related) << name;
    EXPECT_LE(other.next_autonumber, table.next_autonumber) << name;
    EXPECT_EQ(other.rows, table.rows) << name;
    EXPECT_EQ(other.indexes, table.indexes) << name;
  }
}

// A database to compact: a corpus file, or one generated here in either
// format, so that the proof runs without the corpus too.
struct Subject {
  std::string name;
  std::optional<Version> generated;  // unset: a corpus file
  friend void PrintTo(const Subject& subject, std::ostream* out) { *out << subject.name; }
};

constexpr std::uint64_t kGeneratedRows = 2000;

std::string source_of(const Subject& subject, const testing::TempFolder& folder) {
  if (!subject.generated) return (testing::corpus_dir() / subject.name).string();
  const std::string path = folder.file("generated.mdb");
  const auto file = PosixFile::open(path, PosixFile::Mode::CreateNew);
  generate_database(*file, GenerateOptions{*subject.generated, kGeneratedRows, 11, {}});
  return path;
}

class CompactEach : public ::testing::TestWithParam<Subject> {};

TEST_P(CompactEach, TheCopyHoldsWhatTheSourceHoldsAndCompactingAgainChangesNothing) {
  if (!GetParam().generated && testing::corpus_dir().empty()) {
    GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  }
  testing::TempFolder folder;
  const std::string source = source_of(GetParam(), folder);
  const std::string once = folder.file("once.mdb");
  const std::string twice = folder.file("twice.mdb");
  const MaintenanceReport report = compact(source, once);
  EXPECT_TRUE(report.errors.empty()) << report.errors.front().description;
  EXPECT_EQ(report.result_bytes, std::filesystem::file_size(once));
  std::printf("%s: %llu bytes compacted to %llu\n", GetParam().name.c_str(),
              static_cast<unsigned long long>(report.source_bytes), static_cast<unsigned long long>(report.result_bytes));
  RecordProperty("source_bytes", std::to_string(report.source_bytes));
  RecordProperty("compacted_bytes", std::to_string(report.result_bytes));
  expect_consistent(once);
  const FindingList findings = verify(once);
  EXPECT_TRUE(findings.clean()) << format_report(findings);

  const testing::DatabaseSnapshot before = testing::take_snapshot(source);
  expect_same_content(before, testing::take_snapshot(once));
  EXPECT_LE(report.result_bytes, report.source_bytes);
  if (before.free_pages > 0) {
    EXPECT_LT(report.result_bytes, report.source_bytes) << "free pages left in";
  }

  compact(once, twice);
  EXPECT_TRUE(testing::read_file_bytes(once) == testing::read_file_bytes(twice)) << "compacting again changed bytes";

  if (have_mdb_reader()) {
    EXPECT_EQ(mdb_reader_rows(once), mdb_reader_rows(source));
  }
  if (!have_mdbtools()) GTEST_SKIP() << "mdbtools is not installed";
  const auto tables = user_tables(source);
  EXPECT_EQ(user_tables(once), tables);
  for (const std::string& table : tables) EXPECT_EQ(exported(once, table), exported(source, table)) << table;
  // Queries and relationships name no table by its id: every byte stays.
  for (const char* system : {"MSysQueries", "MSysRelationships"}) {
    EXPECT_EQ(exported(once, system), exported(source, system)) << system;
  }
  for (const char* system : {"MSysObjects", "MSysACEs"}) {
    EXPECT_EQ(exported(once, system).size(), exported(source, system).size()) << system;
  }
}

std::vector<Subject> subjects() {
  std::vector<Subject> out{{"generated-jet3", Version::Jet3}, {"generated-jet4", Version::Jet4}};
  for (const auto& db : testing::corpus_databases()) out.push_back(Subject{db.name, std::nullopt});
  if (out.size() == 2) out.push_back(Subject{"corpus-absent", std::nullopt});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Databases, CompactEach, ::testing::ValuesIn(subjects()),
                         [](const ::testing::TestParamInfo<Subject>& info) {
                           std::string name = info.param.name;
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
  // Count the writes a compaction makes, then fail each one in turn.
  MemoryFile expected;
  FailAfterFile counting(expected, ~std::uint64_t{0});
  compact_database(source, counting);
  const std::uint64_t operations = counting.operations();
  ASSERT_GT(operations, 2u);
  for (std::uint64_t budget = 0; budget < operations; ++budget) {
    MemoryFile inner;
    FailAfterFile out(inner, budget);
    EXPECT_THROW(compact_database(source, out), Error) << "the write after " << budget << " went unnoticed";
  }
  testing::TempFolder folder;
  EXPECT_THROW(compact(folder.file("missing.mdb"), folder.file("out.mdb")), Error);
  EXPECT_TRUE(folder.entries().empty());
}

// An encrypted database: every page after the header RC4-encrypted under
// its database key.
constexpr std::uint32_t kDatabaseKey = 0x5A17C0DE;

std::vector<std::uint8_t> encrypted(std::vector<std::uint8_t> bytes) {
  const MemoryFile plain(bytes);
  Header header = Database(plain).header();
  header.database_key = kDatabaseKey;
  write_header(header, bytes);
  const std::size_t size = page_size(header.version);
  for (std::size_t n = 1; n < bytes.size() / size; ++n) {
    crypt_page(kDatabaseKey, static_cast<std::uint32_t>(n), MutableBytes(bytes.data() + n * size, size));
  }
  return bytes;
}

std::vector<std::uint8_t> generated(Version version, std::uint32_t database_key) {
  MemoryFile file;
  GenerateOptions options;
  options.version = version;
  options.rows = 150;
  options.seed = 11;
  options.database_key = database_key;
  generate_database(file, options);
  return file.bytes();
}

// Every row of every user table as our engine reads it, sorted.
std::vector<std::string> engine_rows(const std::string& path) {
  const std::unique_ptr<File> file = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  const Database db(*file);
  std::vector<std::string> out;
  for (const CatalogObject& object : db.tables(false)) {
    db.table(object).scan([&](RowPointer, std::vector<Value>& values) {
      std::string line = object.name + ":";
      for (const Value& value : values) line += canonical_text(value) + "|";
      out.push_back(line);
    });
  }
  std::sort(out.begin(), out.end());
  return out;
}

struct EncryptedSource {
  const char* name;
  std::function<std::vector<std::uint8_t>()> bytes;  // empty when the sample is absent
};

std::vector<std::uint8_t> encrypted_sample(const char* name) {
  if (testing::corpus_dir().empty()) return {};
  return encrypted(testing::read_file_bytes((testing::corpus_dir() / name).string()));
}

class CompactEncrypted : public ::testing::TestWithParam<EncryptedSource> {};

TEST_P(CompactEncrypted, TheCopyKeepsKeyAndPasswordAndReadsAsTheSource) {
  const std::vector<std::uint8_t> bytes = GetParam().bytes();
  if (bytes.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  testing::TempFolder folder;
  const std::string source = folder.file("source.mdb");
  const std::string once = folder.file("once.mdb");
  const std::string twice = folder.file("twice.mdb");
  testing::write_file_bytes(source, bytes);
  const MaintenanceReport report = compact(source, once);
  EXPECT_TRUE(report.errors.empty()) << report.errors.front().description;

  const std::vector<std::uint8_t> copy = testing::read_file_bytes(once);
  const Header source_header = decode_header(bytes);
  const Header copy_header = decode_header(copy);
  EXPECT_EQ(copy_header.version, source_header.version);
  EXPECT_EQ(copy_header.database_key, kDatabaseKey);
  EXPECT_EQ(copy_header.password, source_header.password);
  // Page 2 holds the catalog's definition, which starts 02 01 in the clear.
  const std::size_t size = page_size(copy_header.version);
  ASSERT_GE(copy.size(), 3 * size);
  std::vector<std::uint8_t> catalog(copy.begin() + 2 * size, copy.begin() + 3 * size);
  EXPECT_FALSE(catalog[0] == 0x02 && catalog[1] == 0x01) << "the catalog page is stored in the clear";
  crypt_page(kDatabaseKey, 2, catalog);
  EXPECT_TRUE(catalog[0] == 0x02 && catalog[1] == 0x01) << "the catalog page is not encrypted under the key";

  const FindingList findings = verify(once);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
  const std::vector<std::string> rows = engine_rows(source);
  EXPECT_FALSE(rows.empty());
  EXPECT_EQ(engine_rows(once), rows);

  compact(once, twice);
  EXPECT_TRUE(copy == testing::read_file_bytes(twice)) << "compacting again changed bytes";

  // Both readers decrypt: each reads the rows the engine reads.
  if (have_mdb_reader()) {
    const std::vector<std::string> read = mdb_reader_rows(source);
    EXPECT_EQ(read.size(), rows.size());
    EXPECT_EQ(mdb_reader_rows(once), read);
  }
  if (!have_mdbtools()) GTEST_SKIP() << "mdbtools is not installed";
  const auto tables = user_tables(source);
  EXPECT_EQ(user_tables(once), tables);
  std::size_t exported_rows = 0;
  for (const std::string& table : tables) {
    const std::vector<std::string> lines = exported(source, table);
    exported_rows += lines.empty() ? 0 : lines.size() - 1;  // less the heading
    EXPECT_EQ(exported(once, table), lines) << table;
  }
  EXPECT_GE(exported_rows, rows.size());  // a row's memo may span lines
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CompactEncrypted,
    ::testing::Values(EncryptedSource{"Jet3Sample", [] { return encrypted_sample("jet3/v1997-test.mdb"); }},
                      EncryptedSource{"Jet4SampleWithPassword",
                                      [] { return encrypted_sample("jet4/v2003-with-password.mdb"); }},
                      EncryptedSource{"Jet4SampleOverflowRows",
                                      [] { return encrypted_sample("jet4/v2000-overflowTest.mdb"); }},
                      EncryptedSource{"Jet3Generated", [] { return generated(Version::Jet3, kDatabaseKey); }},
                      EncryptedSource{"Jet4Generated", [] { return generated(Version::Jet4, kDatabaseKey); }}),
    [](const ::testing::TestParamInfo<EncryptedSource>& info) { return std::string(info.param.name); });

// Rows come in primary-key order; when the primary key cannot be read, every
// row still comes, in page order, and the unreadable index is reported.
TEST(Compact, AnUnreadablePrimaryKeyLosesNoRow) {
  testing::RawDatabase db;
  db.bytes = generated(Version::Jet4, 0);
  db.version = Version::Jet4;
  std::size_t damaged = 0;
  for (const TableDef& def : db.table_defs()) {
    for (const LogicalIndexDef& index : def.logical_indexes) {
      if (!index.is_primary_key() || def.row_count == 0) continue;
      const std::size_t size = page_size(db.version);
      const std::uint32_t root = def.real_indexes.at(index.real_index).first_page;
      std::fill_n(db.bytes.begin() + static_cast<std::ptrdiff_t>(root * size), size, std::uint8_t{0});
      ++damaged;
    }
  }
  ASSERT_GE(damaged, 2u) << "the generated tables should have primary keys";
  testing::TempFolder folder;
  const std::string source = folder.file("source.mdb");
  const std::string copy = folder.file("copy.mdb");
  testing::write_file_bytes(source, db.bytes);
  const MaintenanceReport report = compact(source, copy);
  EXPECT_GE(report.errors.size(), damaged);
  const std::vector<std::string> rows = engine_rows(source);
  EXPECT_GT(rows.size(), 300u);
  EXPECT_EQ(engine_rows(copy), rows);
}

}  // namespace
}  // namespace jet
