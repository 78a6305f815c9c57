#include "jet/format/index_row_key.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "jet/base/error.h"

namespace jet {
namespace {

ColumnDef column(std::uint16_t number, ColumnType type) {
  ColumnDef c;
  c.number = number;
  c.type = type;
  c.sort_order = 1033;
  return c;
}

// A row's values reach the key through the engine's Value type: Boolean
// from the null bitmap, numbers re-stored, text through UTF-8.
TEST(IndexRowKey, BuildsTheKeyFromTheRowsValues) {
  TableDef table;
  table.page = 40;
  table.columns = {column(0, ColumnType::Boolean), column(1, ColumnType::Double), column(2, ColumnType::Text),
                   column(5, ColumnType::Guid)};
  RealIndexDef index;
  index.columns = {IndexColumn{5, IndexColumn::Ascending}, IndexColumn{2, IndexColumn::Ascending},
                   IndexColumn{1, 0}, IndexColumn{0, IndexColumn::Ascending}};
  Guid guid;
  guid.bytes = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  std::map<std::uint16_t, Value> row = {{0, Value::null(ColumnType::Boolean)},
                                        {1, Value{ColumnType::Double, -1.0}},
                                        {2, Value{ColumnType::Text, std::string("T\xC3\xA9")}},
                                        {5, Value{ColumnType::Guid, guid}}};
  std::vector<std::uint8_t> key =
      index_key_of_row(Version::Jet4, table, index, [&](const ColumnDef& c) { return row.at(c.number); });
  const std::vector<std::uint8_t> expected = {
      0x7F, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x09, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x08,
      0x7F, 0x6D, 0x51, 0x01, 0x02, 0x0E, 0x00,                 // "Té": T, e + accent
      0x80, 0xBF, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,    // -1.0 descending
      0x7F, 0xFF};                                              // null Boolean is false
  EXPECT_EQ(key, expected);
}

TEST(IndexRowKey, RefusesAnIndexOverAMissingColumn) {
  TableDef table;
  table.columns = {column(0, ColumnType::Long)};
  RealIndexDef index;
  index.columns = {IndexColumn{3, IndexColumn::Ascending}};
  try {
    index_key_columns(Version::Jet3, table, index);
    FAIL() << "found column 3";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
  }
}

}  // namespace
}  // namespace jet
