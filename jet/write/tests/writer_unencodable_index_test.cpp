// An index whose keys the engine cannot encode: the writer either refuses
// the row before storing any of it, or (when asked, as salvage does) drops
// the index, never writing one with some entries or wrong ones.
#include <gtest/gtest.h>

#include "jet/read/database.h"
#include "jet/read/index_walk.h"
#include "jet/verify/verify.h"
#include "jet/write/database_writer.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"
#include "support/new_header.h"

namespace jet {
namespace {

struct UnencodableRow {
  const char* name;
  std::uint16_t sort_order;
  std::string text;  // the indexed value no key can be encoded for
};

class UnencodableIndex : public ::testing::TestWithParam<UnencodableRow> {};

constexpr std::uint16_t kSwedish = 1053;
constexpr std::uint16_t kRussian = 1049;

std::vector<Value> row(std::int32_t number, std::optional<std::string> text) {
  return {Value{ColumnType::Long, number},
          text ? Value{ColumnType::Text, *text} : Value::null(ColumnType::Text)};
}

struct Written {
  std::vector<std::uint8_t> bytes;
  std::vector<TableWriter::DroppedIndex> dropped;
  bool refused = false;
};

// Writes a table with a text index: a row with an encodable key (or none),
// the row in question, and another encodable row.
Written write(const UnencodableRow& param, bool drop) {
  MemoryFile file;
  WriterOptions options;
  options.drop_unencodable_indexes = drop;
  NewDatabase db(file, testing::new_header(Version::Jet4), options);
  const TableDef def = lay_out_table(Version::Jet4, 1252, param.sort_order,
                                     {{"Number", ColumnType::Long}, {"Word", ColumnType::Text, 50}},
                                     {{"ByWord", {{"Word"}}}});
  TableWriter& table = db.begin_table("Words", def);
  Written written;
  table.add_row(row(1, std::nullopt));
  try {
    table.add_row(row(2, param.text));
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Unsupported) << e.what();
    written.refused = true;
  }
  table.add_row(row(3, std::nullopt));
  written.dropped = table.indexes_dropped();
  db.finish_table(table);
  db.finish();
  written.bytes = file.bytes();
  return written;
}

std::size_t index_entries(const Database& db, const Table& table) {
  const RealIndexDef& index = table.def().real_indexes.at(0);
  return read_index(db.version(), table.def().page, index.first_page, db.page_count(), db.page_source()).size();
}

TEST_P(UnencodableIndex, RefusedRowLeavesNoTrace) {
  const Written written = write(GetParam(), false);
  ASSERT_TRUE(written.refused);
  MemoryFile file(written.bytes);
  const Database db(file);
  const Table table = db.table("Words");
  EXPECT_EQ(table.rows().size(), 2u);
  EXPECT_EQ(table.def().row_count, 2u);
  EXPECT_EQ(index_entries(db, table), 2u);
  const FindingList findings = verify(file);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
}

TEST_P(UnencodableIndex, DroppedWhenAskedKeepingEveryRow) {
  const Written written = write(GetParam(), true);
  ASSERT_FALSE(written.refused);
  ASSERT_EQ(written.dropped.size(), 1u);
  EXPECT_EQ(written.dropped[0].real_index, 0u);
  MemoryFile file(written.bytes);
  const Database db(file);
  const Table table = db.table("Words");
  EXPECT_EQ(table.rows().size(), 3u);
  EXPECT_TRUE(table.def().real_indexes.empty());
  EXPECT_TRUE(table.def().logical_indexes.empty());
  const FindingList findings = verify(file);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
}

INSTANTIATE_TEST_SUITE_P(Keys, UnencodableIndex,
                         ::testing::Values(UnencodableRow{"SortOrderWithoutCodes", kSwedish, "abc"},
                                           UnencodableRow{"CyrillicInItsOwnSortOrder", kRussian, "\xD0\x96"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jet
