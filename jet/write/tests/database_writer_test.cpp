// Databases written by DatabaseWriter / NewDatabase read back through the
// engine's reader exactly as written: the catalog, every value of every
// column type, long values of each size class, and each index's entries,
// which must be the keys of the rows they point at.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <map>
#include <set>

#include "jet/format/data_page.h"
#include "jet/format/index_row_key.h"
#include "jet/format/usage_map.h"
#include "jet/read/database.h"
#include "jet/read/index_walk.h"
#include "jet/verify/verify.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"
#include "support/new_header.h"

namespace jet {
namespace {

using testing::new_header;

std::vector<NewColumn> every_type() {
  return {{"ID", ColumnType::Long, 0, true},
          {"Flag", ColumnType::Boolean},
          {"Small", ColumnType::Byte},
          {"Count", ColumnType::Integer},
          {"Amount", ColumnType::Currency},
          {"Ratio", ColumnType::Single},
          {"Big", ColumnType::Double},
          {"When", ColumnType::DateTime},
          {"Bin", ColumnType::Binary, 40},
          {"Name", ColumnType::Text, 60},
          {"Notes", ColumnType::Memo},
          {"Blob", ColumnType::Ole},
          {"Key", ColumnType::Guid},
          {"Dec", ColumnType::Numeric, 0, false, 18, 4}};
}

std::vector<NewIndex> every_kind_of_index() {
  return {{"PrimaryKey", {{"ID"}}, true, true},
          {"ByName", {{"Name"}}},
          {"ByCountWhen", {{"Count"}, {"When", false}}},
          {"UniqueKey", {{"Key"}}, true, false, true}};
}

// Long values of every size class: none, inline, one row, a chain of pages.
std::size_t long_value_size(int i) {
  static constexpr std::size_t kSizes[] = {0, 1, 64, 65, 300, 1900, 4100, 9000, 30000};
  return kSizes[i % std::size(kSizes)];
}

std::vector<Value> sample_row(int i) {
  auto blob = [](std::size_t n, int seed) {
    std::vector<std::uint8_t> out(n);
    for (std::size_t k = 0; k < n; ++k) out[k] = static_cast<std::uint8_t>((k * 31 + seed * 7) & 0xFF);
    return out;
  };
  Guid key;
  for (int k = 0; k < 16; ++k) key.bytes[k] = static_cast<std::uint8_t>(i * 13 + k);
  key.bytes[15] = static_cast<std::uint8_t>(i >> 8);  // a unique index holds it: no two rows alike
  std::string notes;
  while (notes.size() < long_value_size(i)) notes += "Zeile " + std::to_string(notes.size()) + " caf\u00e9; ";
  notes.resize(long_value_size(i));
  auto maybe = [&](ColumnType type, Value::Data data) {
    return i % 7 == 3 ? Value::null(type) : Value{type, std::move(data)};
  };
  return {
      Value::null(ColumnType::Long),
      Value{ColumnType::Boolean, i % 2 == 0},
      maybe(ColumnType::Byte, static_cast<std::uint8_t>(i * 5)),
      Value{ColumnType::Integer, static_cast<std::int16_t>(i % 5 - 2)},
      maybe(ColumnType::Currency, Currency{static_cast<std::int64_t>(i) * -12345}),
      maybe(ColumnType::Single, static_cast<float>(i) / 8.0f),
      maybe(ColumnType::Double, static_cast<double>(i) * 1e10),
      Value{ColumnType::DateTime, DateTime{36526.5 + i}},
      maybe(ColumnType::Binary, blob(static_cast<std::size_t>(i % 41), i)),
      maybe(ColumnType::Text, "Name " + std::to_string(i % 11) + " Summer"),
      notes.empty() ? Value::null(ColumnType::Memo) : Value{ColumnType::Memo, notes},
      Value{ColumnType::Ole, blob(long_value_size(i + 3), i)},
      Value{ColumnType::Guid, key},
      maybe(ColumnType::Numeric, Decimal{i % 2 == 1, 4, static_cast<unsigned __int128>(i) * 1000003}),
  };
}

// What the reader should give back for sample_row(i) as the n-th row.
std::vector<Value> expected_row(int i) {
  std::vector<Value> row = sample_row(i);
  row[0] = Value{ColumnType::Long, static_cast<std::int32_t>(i + 1)};  // numbered from 1
  return row;
}

class WrittenDatabase : public ::testing::TestWithParam<Version> {};

// A new file's header: the format and a fixed creation date, so that two
// files written alike come out byte for byte the same.
std::vector<std::uint8_t> write_sample(Version v, int rows, WriterOptions options = {}) {
  MemoryFile file;
  const Header header = new_header(v, 40000.25);
  NewDatabase db(file, header, options);
  TableWriter& table = db.begin_table("Everything", lay_out_table(v, 1252, 0x0409, every_type(), every_kind_of_index()));
  for (int i = 0; i < rows; ++i) table.add_row(sample_row(i));
  db.finish_table(table);
  db.finish();
  return file.bytes();
}

TEST_P(WrittenDatabase, EveryValueReadsBackAsWritten) {
  const Version v = GetParam();
  MemoryFile file(write_sample(v, 300));
  Database db(file);
  Table table = db.table("Everything");
  EXPECT_EQ(table.def().row_count, 300u);
  // The last value handed out, as Access keeps it: the next row gets 301.
  EXPECT_EQ(table.def().last_autonumber, 300u);
  const auto rows = table.rows();
  ASSERT_EQ(rows.size(), 300u);
  for (int i = 0; i < 300; ++i) {
    const auto expected = expected_row(i);
    for (std::size_t c = 0; c < expected.size(); ++c) {
      EXPECT_EQ(rows[i][c], expected[c]) << "row " << i << " column " << table.columns()[c].name;
    }
  }
}

// Every index of the table holds, in order, the key of each row it should
// (as the key encoder makes it from the row's values) and nothing else, and
// keeps the count of its distinct keys.
void expect_indexes_hold_the_keys_of_the_rows(Version v, const Database& db, const Table& table) {
  const TableDef& def = table.def();
  for (const RealIndexDef& index : def.real_indexes) {
    std::vector<IndexEntry> expected;
    table.scan([&](RowPointer at, std::vector<Value>& values) {
      auto value_of = [&](const ColumnDef& column) {
        for (std::size_t c = 0; c < table.columns().size(); ++c) {
          if (table.columns()[c].number == column.number) return values[c];
        }
        return Value::null(column.type);
      };
      if (index.ignores_nulls() && value_of(*def.column_by_number(index.columns[0].column_number)).is_null()) return;
      expected.push_back(IndexEntry{index_key_of_row(v, def, index, value_of), at, 0});
    });
    std::sort(expected.begin(), expected.end());
    const std::vector<IndexEntry> stored = read_index(v, def.page, index.first_page, db.page_count(), db.page_source());
    ASSERT_EQ(stored.size(), expected.size()) << "index " << index.number;
    for (std::size_t k = 0; k < stored.size(); ++k) {
      EXPECT_EQ(stored[k].key, expected[k].key) << "index " << index.number << " entry " << k;
      EXPECT_EQ(stored[k].row, expected[k].row) << "index " << index.number << " entry " << k;
    }
    std::set<std::vector<std::uint8_t>> distinct;
    for (const auto& e : expected) distinct.insert(e.key);
    EXPECT_EQ(index.unique_entry_count, distinct.size()) << "index " << index.number;
  }
}

TEST_P(WrittenDatabase, EachIndexHoldsTheKeyOfEveryRow) {
  const Version v = GetParam();
  MemoryFile file(write_sample(v, 700, WriterOptions{4096}));  // small budget: the builders spill
  Database db(file);
  Table table = db.table("Everything");
  ASSERT_EQ(table.def().real_indexes.size(), 4u);
  expect_indexes_hold_the_keys_of_the_rows(v, db, table);
}

// Long text keys make a tree of several levels from a few hundred rows: its
// pages, intermediate ones included, read back key for key and verify clean.
TEST_P(WrittenDatabase, AnIndexSeveralLevelsDeepHoldsTheKeyOfEveryRow) {
  const Version v = GetParam();
  MemoryFile file;
  const Header header = new_header(v, 40000.25);
  NewDatabase writer(file, header);
  TableWriter& table = writer.begin_table(
      "Deep", lay_out_table(v, 1252, 0x0409, {{"ID", ColumnType::Long, 0, true}, {"Label", ColumnType::Text, 255}},
                            {{"PrimaryKey", {{"ID"}}, true, true}, {"ByLabel", {{"Label"}}}}));
  for (int i = 0; i < 400; ++i) {
    std::string label = std::string(1, static_cast<char>('A' + i * 7 % 26)) + std::to_string(i % 150) + " ";
    while (label.size() < 200) label += "stem " + std::to_string(label.size() % 13) + " ";
    const std::vector<Value> row{Value::null(ColumnType::Long), Value{ColumnType::Text, label}};
    table.add_row(row);
  }
  writer.finish_table(table);
  writer.finish();
  Database db(file);
  const Table deep = db.table("Deep");
  int top_level = 0;  // of the root of the label's index
  for (const RealIndexDef& index : deep.def().real_indexes) {
    top_level = std::max<int>(top_level, decode_index_page(v, index.first_page, *db.page(index.first_page)).level);
  }
  EXPECT_GE(top_level, 2);
  expect_indexes_hold_the_keys_of_the_rows(v, db, deep);
  const FindingList findings = verify(file);
  EXPECT_EQ(findings.count(Severity::Warning) + findings.count(Severity::Error), 0u) << format_report(findings);
}

TEST_P(WrittenDatabase, UsageMapsNameExactlyTheTablesPages) {
  const Version v = GetParam();
  MemoryFile file(write_sample(v, 400));
  Database db(file);
  Table table = db.table("Everything");
  const auto data_pages = table.data_pages();
  ASSERT_FALSE(data_pages.empty());
  for (std::uint32_t page : data_pages) {
    const Page bytes = db.page(page);
    EXPECT_EQ((*bytes)[0], 0x01);
    EXPECT_EQ(load_u32(bytes->data() + 4), table.def().page) << "page " << page;
  }
  for (const LongValueColumnMaps& lv : table.def().long_value_maps) {
    const UsageMap owned = db.usage_map(lv.owned_pages);
    ASSERT_FALSE(owned.pages.empty()) << "column " << lv.column_number;
    for (std::uint32_t page : owned.pages) EXPECT_EQ(load_u32(db.page(page)->data() + 4), kLongValueOwner);
  }
  // Nothing is free in a freshly written file.
  const UsageMap free_map = read_free_page_map(v, db.page_count(), db.page_source());
  EXPECT_TRUE(free_map.pages.empty());
  EXPECT_TRUE(free_map.covers(db.page_count() - 1, v));
}

TEST_P(WrittenDatabase, CreatedDatabaseHoldsTheEnginesCatalog) {
  const Version v = GetParam();
  MemoryFile file;
  create_database(file, new_header(v));
  Database db(file);
  std::map<std::string, std::pair<std::int32_t, std::int32_t>> objects;  // name: id, parent
  for (const CatalogObject& object : db.catalog().objects()) objects[object.name] = {object.id, object.parent_id};
  const std::map<std::string, std::pair<std::int32_t, std::int32_t>> expected = {
      {"Tables", {kTablesContainerId, kTopLevelParentId}},
      {"Databases", {kDatabasesContainerId, kTopLevelParentId}},
      {"Relationships", {kRelationshipsContainerId, kTopLevelParentId}},
      {"MSysDb", {kDatabaseObjectId, kDatabasesContainerId}},
      {"MSysObjects", {2, kTablesContainerId}},
      {"MSysACEs", {3, kTablesContainerId}},
      {"MSysQueries", {4, kTablesContainerId}},
      {"MSysRelationships", {5, kTablesContainerId}}};
  EXPECT_EQ(objects, expected);
  EXPECT_EQ(db.table("MSysQueries").def().columns.size(), is_jet4(v) ? 8u : 7u);
  EXPECT_EQ(db.table("MSysRelationships").def().real_indexes.size(), 3u);
  if (is_jet4(v)) {  // Jet 3 keeps no creation date
    EXPECT_NEAR(db.header().creation_date, current_date_time(), 1.0);
  }
}

// A time stamp keeps whole milliseconds, as the doubles Access writes do:
// the catalog row of a sample made at 2004-05-28 17:46:29.851 holds these
// very bits.
TEST(DateTimeNow, KeepsWholeMillisecondsAsAccessStoresThem) {
  using namespace std::chrono;
  struct Case {
    system_clock::duration since_1970;
    std::uint64_t bits;
  };
  const Case cases[] = {
      {seconds(0), std::bit_cast<std::uint64_t>(25569.0)},
      {days(12566) + milliseconds(63989851) + microseconds(400), 0x40E29EF7B32F9559},
      {milliseconds(1500) + microseconds(999), std::bit_cast<std::uint64_t>(25569 + 1500 / 86400000.0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(date_time_of(system_clock::time_point(c.since_1970))), c.bits)
        << duration_cast<microseconds>(c.since_1970).count() << " us";
  }
}

TEST_P(WrittenDatabase, EncryptedDatabaseReadsBackThroughItsKey) {
  const Version v = GetParam();
  MemoryFile file;
  Header header = new_header(v, 39000.5);
  header.database_key = 0x1234ABCD;
  header.password = "s3cret";
  NewDatabase db(file, header);
  TableWriter& table = db.begin_table("Everything", lay_out_table(v, 1252, 0x0409, every_type(), every_kind_of_index()));
  for (int i = 0; i < 20; ++i) table.add_row(sample_row(i));
  db.finish_table(table);
  db.finish();
  // The catalog's page does not show its page type in the clear.
  EXPECT_NE(file.bytes()[2 * page_size(v)], 0x02);
  Database read(file);
  EXPECT_EQ(read.header().password, "s3cret");
  EXPECT_EQ(read.table("Everything").rows()[19], expected_row(19));
}

TEST_P(WrittenDatabase, SameInputGivesTheSameBytes) {
  const Version v = GetParam();
  EXPECT_EQ(write_sample(v, 120), write_sample(v, 120, WriterOptions{1024}));
}

TEST_P(WrittenDatabase, RefusesRowsThatDoNotSuitTheTable) {
  const Version v = GetParam();
  MemoryFile file;
  NewDatabase db(file, new_header(v));
  TableWriter& table = db.begin_table("Everything", lay_out_table(v, 1252, 0x0409, every_type(), every_kind_of_index()));
  struct Case {
    const char* what;
    std::size_t column;
    Value value;
  };
  const Case cases[] = {
      {"too few values", 99, {}},
      {"wrong type", 3, Value{ColumnType::Long, std::int32_t{1}}},
      {"text longer than the column", 9, Value{ColumnType::Text, std::string(61, 'x')}},
      {"binary longer than the column", 8, Value{ColumnType::Binary, std::vector<std::uint8_t>(41, 1)}},
  };
  for (const Case& c : cases) {
    std::vector<Value> row = sample_row(1);
    if (c.column == 99) {
      row.pop_back();
    } else {
      row[c.column] = c.value;
    }
    EXPECT_THROW(table.add_row(row), Error) << c.what;
  }
  EXPECT_EQ(table.row_count(), 0u);
  EXPECT_THROW(db.begin_table("everything", lay_out_table(v, 1252, 0x0409, every_type(), {})), Error);
  EXPECT_THROW(db.writer().finish(), Error);  // tables still open
}

// A table with many Memo columns has two usage maps for each: the maps,
// which all tables share pages for, fill one page and spill onto the next,
// which may then hold only the last column's map of long-value pages with
// room. Every page is accounted for.
TEST_P(WrittenDatabase, UsageMapsSpillingOntoAPageOfTheirOwnVerifyClean) {
  const Version v = GetParam();
  // The table's two maps and two a column: 15 of them fill a Jet 3 page,
  // which the system tables' maps share.
  for (const std::size_t memos : {6, 7, 8, 14, 15}) {
    SCOPED_TRACE(std::to_string(memos) + " Memo columns");
    MemoryFile file;
    NewDatabase db(file, new_header(v));
    std::vector<NewColumn> columns{{"N", ColumnType::Long}};
    for (std::size_t i = 0; i < memos; ++i) columns.push_back({"M" + std::to_string(i), ColumnType::Memo});
    TableWriter& table = db.begin_table("Wide", lay_out_table(v, 1252, 0x0409, columns, {}));
    db.finish_table(table);
    db.finish();
    const FindingList findings = verify(file);
    EXPECT_TRUE(findings.clean()) << format_report(findings);
    EXPECT_EQ(findings.count(Severity::Warning), 0u) << format_report(findings);
  }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, WrittenDatabase, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& info) { return std::string(to_string(info.param)); });

}  // namespace
}  // namespace jet
