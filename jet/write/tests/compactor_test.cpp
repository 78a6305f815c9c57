#include "jet/write/compactor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "jet/format/data_page.h"
#include "jet/format/header.h"
#include "jet/format/table_def.h"
#include "jet/format/usage_map.h"
#include "jet/maintenance.h"
#include "jet/read/database.h"
#include "jet/read/index_walk.h"
#include "jet/read/pager.h"
#include "jet/verify/verify.h"
#include "jet/write/database_writer.h"
#include "jet/write/generate.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"
#include "support/external_readers.h"
#include "support/fail_after_file.h"
#include "support/new_header.h"
#include "support/raw_pages.h"
#include "support/shell_command.h"
#include "support/snapshot.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::have_mdb_reader;
using testing::have_mdbtools;
using testing::shell_quoted;

std::string run(const std::string& command) { return testing::run_shell(command + " 2>/dev/null").out; }

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

// Every row of the user tables as mdb-reader reads them (one JSON object a
// line, sorted), system tables left out: their rows hold the ids compaction
// rewrites.
std::vector<std::string> mdb_reader_rows(const std::string& path) {
  std::vector<std::string> out = lines(run("node " + shell_quoted(testing::mdb_reader_script()) + " " + shell_quoted(path)));
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
    // Rows are copied in primary-key order, and the AutoNumber goes on
    // after the highest value that remains.
    EXPECT_TRUE(other.rows_in_primary_key_order) << name;
    EXPECT_EQ(other.highest_autonumber, table.highest_autonumber) << name;
    EXPECT_EQ(other.last_autonumber, other.highest_autonumber ? std::uint32_t(*other.highest_autonumber) : table.last_autonumber)
        << name;
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

// The data pages of an unencrypted file that were closed with room left
// for the row that opened the next page of the same table: none in a file
// whose tables were packed full, in page order.
std::vector<std::string> pages_closed_with_room(const std::string& path) {
  const std::vector<std::uint8_t> bytes = testing::read_file_bytes(path);
  const Version version = decode_header(bytes).version;
  const std::size_t size = page_size(version);
  std::map<std::uint32_t, std::pair<std::uint32_t, DataPage>> last_of_table;  // owner -> its last page so far
  std::vector<std::string> out;
  for (std::uint32_t number = 1; (number + 1) * size <= bytes.size(); ++number) {
    const Bytes page(bytes.data() + std::size_t{number} * size, size);
    if (page[0] != 0x01) continue;
    DataPage header = decode_data_page(page, version, number);
    if (header.holds_long_values() || header.slots.empty()) continue;
    const std::size_t first_row = size - header.slots[0].offset();
    const auto before = last_of_table.find(header.owner);
    if (before != last_of_table.end()) {
      const DataPage& closed = before->second.second;
      const std::size_t room = closed.free_space > 2 ? closed.free_space - 2u : 0u;
      if (closed.slots.size() < kMaxRowsPerPage && room >= first_row) {
        out.push_back("page " + std::to_string(before->second.first) + " of table " + std::to_string(header.owner) +
                      " had room for " + std::to_string(room) + " bytes; page " + std::to_string(number) +
                      " starts with a row of " + std::to_string(first_row));
      }
    }
    last_of_table[header.owner] = {number, std::move(header)};
  }
  return out;
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
  // Page 0 is the source's, byte for byte: the sources were closed cleanly,
  // so their lock bytes are as the copy's must be.
  const auto page0 = [&](const std::string& path) {
    std::vector<std::uint8_t> bytes = testing::read_file_bytes(path);
    bytes.resize(std::min<std::size_t>(bytes.size(), page_size(before.header.version)));
    return bytes;
  };
  EXPECT_TRUE(page0(once) == page0(source)) << "page 0 changed";
  EXPECT_EQ(pages_closed_with_room(once), std::vector<std::string>{});
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

// The highest value of a table's AutoNumber column ID, and the last value
// its definition says was handed out.
std::pair<std::int32_t, std::uint32_t> autonumbers(const File& file, const std::string& name) {
  const Database db(file);
  const Table table = db.table(name);
  std::int32_t highest = 0;
  table.scan([&](RowPointer, std::vector<Value>& values) {
    highest = std::max(highest, std::get<std::int32_t>(values.at(0).data));
  });
  return {highest, table.def().last_autonumber};
}

// As the Jet engine's own compaction does, an AutoNumber goes on after the
// highest value left, not after the last one ever handed out: numbers given
// to rows deleted from the end are given out again.
TEST(Compact, AnAutoNumberGoesOnAfterTheHighestValueLeft) {
  for (const Version version : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(to_string(version));
    MemoryFile source;
    generate_database(source, GenerateOptions{version, 50, 5, {}});
    EXPECT_EQ(autonumbers(source, "Customers"), std::make_pair(50, 50u)) << "the writer keeps the last value";
    // The last value handed out, in the definition's first page.
    const std::uint32_t page = Database(source).table("Customers").def().page;
    const std::size_t at = page * page_size(version) + (version == Version::Jet3 ? 16 : 20);
    store_u32(source.bytes().data() + at, 1000);
    ASSERT_EQ(autonumbers(source, "Customers").second, 1000u);

    MemoryFile copy;
    compact_database(source, copy);
    EXPECT_EQ(autonumbers(copy, "Customers"), std::make_pair(50, 50u));
  }
}

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
  testing::FailAfterFile counting(expected, ~std::uint64_t{0});
  compact_database(source, counting);
  const std::uint64_t operations = counting.operations();
  ASSERT_GT(operations, 2u);
  for (std::uint64_t budget = 0; budget < operations; ++budget) {
    MemoryFile inner;
    testing::FailAfterFile out(inner, budget);
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

// The real index behind the logical index named `index` of table `table`.
const RealIndexDef& real_index_named(const TableDef& def, const std::string& table, const std::string& index) {
  const auto logical = std::find_if(def.logical_indexes.begin(), def.logical_indexes.end(),
                                    [&](const LogicalIndexDef& i) { return i.name == index; });
  if (logical == def.logical_indexes.end()) throw std::runtime_error(table + " has no index " + index);
  return def.real_indexes.at(logical->real_index);
}

// The pages a usage map of table `table` lists: its data pages, or with
// `index` set those of that index.
std::vector<std::uint32_t> pages_of(const std::vector<std::uint8_t>& bytes, const std::string& table,
                                    const char* index = nullptr) {
  const MemoryFile file(bytes);
  const Database db(file);
  const TableDef def = db.table(table).def();
  const RowPointer map = index == nullptr ? def.owned_pages : real_index_named(def, table, index).usage_map;
  const UsageMap pages = read_usage_map(db.version(), map, db.page_count(), db.page_source());
  if (pages.pages.empty()) throw std::runtime_error(table + " lists no page");
  return pages.pages;
}

void zero_page(std::vector<std::uint8_t>& bytes, Version version, std::uint32_t page) {
  const std::size_t size = page_size(version);
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(page * size), size, std::uint8_t{0});
}

enum class LeafDamage { Zeroed, Reversed };

// Damages the last leaf page of a table's index, in key order, so that a
// walk of the index fails only after it has passed on the entries of every
// other leaf. Returns the index's number.
std::uint16_t damage_last_leaf(std::vector<std::uint8_t>& bytes, const std::string& table, const std::string& index,
                               LeafDamage damage) {
  const MemoryFile file(bytes);
  const Database db(file);
  const TableDef def = db.table(table).def();
  const RealIndexDef& real = real_index_named(def, table, index);
  const IndexWalk walk =
      check_index(db.version(), def.page, real.first_page, IndexWalkOptions{db.page_count()}, db.page_source());
  std::vector<std::uint32_t> leaves;
  for (std::uint32_t page : walk.pages) {
    if (decode_index_page(db.version(), page, db.page_source()(page)).leaf) leaves.push_back(page);
  }
  if (leaves.size() < 4) throw std::runtime_error("index " + index + " of " + table + " has too few leaves");
  const std::size_t size = page_size(db.version());
  const auto at = bytes.begin() + static_cast<std::ptrdiff_t>(leaves.back() * size);
  if (damage == LeafDamage::Zeroed) {
    std::fill_n(at, size, std::uint8_t{0});
  } else {
    IndexPage page = decode_index_page(db.version(), leaves.back(), db.page_source()(leaves.back()));
    std::reverse(page.entries.begin(), page.entries.end());
    const std::vector<std::uint8_t> encoded = encode_index_page(db.version(), page);
    std::copy(encoded.begin(), encoded.end(), at);
  }
  return real.number;
}

struct DamagedSource {
  const char* name;
  Version version;  // of a generated database, 3000 rows
  std::function<void(std::vector<std::uint8_t>&, Version)> damage;
  const char* error;  // what the error says, after the table it names
  friend void PrintTo(const DamagedSource& c, std::ostream* out) { *out << c.name; }
};

class CompactDamaged : public ::testing::TestWithParam<DamagedSource> {};

// Compaction carries a file over whole or not at all: the first damage it
// meets stops it with Corrupt, naming the table and what did not decode,
// where a copy that left something out would pass for a sound one.
TEST_P(CompactDamaged, StopsWithTheDamageNamed) {
  const DamagedSource& c = GetParam();
  MemoryFile source;
  generate_database(source, GenerateOptions{c.version, 3000, 5, {}});
  c.damage(source.bytes(), c.version);
  MemoryFile copy;
  try {
    compact_database(source, copy);
    FAIL() << "the damaged file was compacted";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt) << e.what();
    EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
  }
}

const auto kZeroIndex = [](const char* table, const char* index) {
  return [=](std::vector<std::uint8_t>& bytes, Version version) {
    for (std::uint32_t page : pages_of(bytes, table, index)) zero_page(bytes, version, page);
  };
};
const auto kDamageLastLeaf = [](const char* table, const char* index, LeafDamage damage) {
  return [=](std::vector<std::uint8_t>& bytes, Version) { damage_last_leaf(bytes, table, index, damage); };
};

INSTANTIATE_TEST_SUITE_P(
    Damage, CompactDamaged,
    ::testing::Values(
        DamagedSource{"Jet4PrimaryKeyZeroed", Version::Jet4, kZeroIndex("Orders", "PrimaryKey"),
                      "table Orders: page"},
        DamagedSource{"Jet3IndexZeroed", Version::Jet3, kZeroIndex("Customers", "Email"), "table Customers: page"},
        DamagedSource{"Jet4LastLeafZeroed", Version::Jet4, kDamageLastLeaf("Customers", "CityJoined", LeafDamage::Zeroed),
                      "not an index page"},
        DamagedSource{"Jet4LastLeafOutOfOrder", Version::Jet4,
                      kDamageLastLeaf("Customers", "CityJoined", LeafDamage::Reversed),
                      "is not after the entry before it"},
        DamagedSource{"Jet3PrimaryKeyOutOfOrder", Version::Jet3,
                      kDamageLastLeaf("Orders", "PrimaryKey", LeafDamage::Reversed), "is not after the entry before it"},
        DamagedSource{"Jet4DataPageZeroed", Version::Jet4,
                      [](std::vector<std::uint8_t>& bytes, Version version) {
                        zero_page(bytes, version, pages_of(bytes, "Customers").at(1));
                      },
                      "table Customers: page"},
        // A row deleted under the entries that still lead to it.
        DamagedSource{"Jet3RowDeletedUnderItsKeys", Version::Jet3,
                      [](std::vector<std::uint8_t>& bytes, Version version) {
                        const std::size_t first_slot = pages_of(bytes, "Customers").front() * page_size(version) +
                                                       data_page_header_size(version);
                        bytes[first_slot + 1] |= kRowDeleted >> 8;
                      },
                      "leads to no"},
        DamagedSource{"Jet4DefinitionZeroed", Version::Jet4,
                      [](std::vector<std::uint8_t>& bytes, Version version) {
                        const MemoryFile file(bytes);
                        zero_page(bytes, version, Database(file).table("Orders").def().page);
                      },
                      "table definition"}),
    [](const ::testing::TestParamInfo<DamagedSource>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jet
