#include "jet/format/row.h"

#include <gtest/gtest.h>

namespace jet {
namespace {

using ByteVector = std::vector<std::uint8_t>;

ColumnDef column(std::uint16_t number, const char* name, ColumnType type, bool fixed,
                 std::uint16_t offset_or_index) {
  ColumnDef c;
  c.number = number;
  c.name = name;
  c.type = type;
  c.flags = fixed ? column_flags::FixedLength : 0;
  if (fixed) {
    c.fixed_offset = offset_or_index;
  } else {
    c.variable_index = offset_or_index;
  }
  return c;
}

// Column 5 was deleted: the numbers have a gap, as in files Access wrote.
TableDef sample_table(Version v) {
  TableDef t;
  t.version = v;
  t.columns = {column(0, "Id", ColumnType::Long, true, 0),
               column(1, "Flag", ColumnType::Boolean, true, 0),
               column(2, "Name", ColumnType::Text, false, 0),
               column(3, "Amount", ColumnType::Currency, true, 4),
               column(4, "Notes", ColumnType::Memo, false, 1),
               column(6, "Data", ColumnType::Binary, false, 2)};
  t.max_columns = 7;
  t.variable_column_count = 3;
  return t;
}

std::vector<StoredColumn> sample_values(std::size_t name_size, std::size_t data_size) {
  return {StoredColumn{true, {1, 2, 3, 4}},
          StoredColumn{true, {}},
          StoredColumn{true, ByteVector(name_size, 'n')},
          StoredColumn{false, {}},
          StoredColumn{true, ByteVector(12, 0x80)},
          StoredColumn{true, ByteVector(data_size, 'd')}};
}

void expect_decodes_to(const TableDef& table, const ByteVector& row,
                       const std::vector<StoredColumn>& values) {
  RowLayout layout = decode_row_layout(row, table.version, true, 5);
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    SCOPED_TRACE(table.columns[i].name);
    ColumnBytes got = column_bytes(layout, row, table.columns[i], 5);
    EXPECT_EQ(got.present, values[i].present);
    if (values[i].present && table.columns[i].type != ColumnType::Boolean) {
      EXPECT_EQ(ByteVector(got.bytes.begin(), got.bytes.end()), values[i].bytes);
    }
  }
}

// Every text length from 0 to 255 with binary lengths around them crosses
// the 256- and 512-byte boundaries at every position of a Jet 3 row's
// trailer, where the jump table and its dummy entry come and go.
TEST(Row, RoundTripsAcrossEveryJumpTableBoundary) {
  for (Version v : {Version::Jet3, Version::Jet4}) {
    TableDef table = sample_table(v);
    for (std::size_t name = 0; name <= 255; ++name) {
      for (std::size_t data : {0u, 1u, 200u, 255u}) {
        SCOPED_TRACE(std::string(to_string(v)) + " name " + std::to_string(name) + " data " +
                     std::to_string(data));
        auto values = sample_values(name, data);
        ByteVector row = encode_row(table, values);
        expect_decodes_to(table, row, values);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

TEST(Row, BooleanLivesInTheNullBitmap) {
  TableDef table = sample_table(Version::Jet4);
  auto values = sample_values(3, 0);
  values[1].present = false;  // Flag false
  ByteVector row = encode_row(table, values);
  RowLayout layout = decode_row_layout(row, Version::Jet4, true, 1);
  EXPECT_FALSE(column_bytes(layout, row, table.columns[1], 1).present);
  EXPECT_EQ(row.back() & 0x02, 0);
  values[1].present = true;
  row = encode_row(table, values);
  EXPECT_EQ(row.back() & 0x02, 0x02);
}

TEST(Row, ColumnsAddedAfterTheRowWasWrittenReadAsNull) {
  for (Version v : {Version::Jet3, Version::Jet4}) {
    TableDef old_table = sample_table(v);
    old_table.columns.resize(3);  // Id, Flag, Name
    old_table.max_columns = 3;
    old_table.variable_column_count = 1;
    std::vector<StoredColumn> old_values = sample_values(4, 0);
    old_values.resize(3);
    ByteVector row = encode_row(old_table, old_values);

    TableDef table = sample_table(v);
    RowLayout layout = decode_row_layout(row, v, true, 1);
    EXPECT_EQ(layout.column_count, 3);
    for (std::size_t i = 3; i < table.columns.size(); ++i) {
      EXPECT_FALSE(column_bytes(layout, row, table.columns[i], 1).present) << table.columns[i].name;
    }
    EXPECT_EQ(column_bytes(layout, row, table.columns[2], 1).bytes.size(), 4u);
  }
}

TEST(Row, TableWithoutVariableColumnsHasNoTrailer) {
  TableDef table;
  table.version = Version::Jet3;
  table.columns = {column(0, "A", ColumnType::Integer, true, 0), column(1, "B", ColumnType::Byte, true, 2)};
  table.max_columns = 2;
  std::vector<StoredColumn> values{{true, {0x34, 0x12}}, {false, {}}};
  ByteVector row = encode_row(table, values);
  EXPECT_EQ(row, (ByteVector{2, 0x34, 0x12, 0, 0x01}));
  RowLayout layout = decode_row_layout(row, Version::Jet3, false, 1);
  EXPECT_EQ(column_bytes(layout, row, table.columns[0], 1).bytes.size(), 2u);
  EXPECT_FALSE(column_bytes(layout, row, table.columns[1], 1).present);
}

TEST(Row, DamagedRowsAreCorruptNeverOutOfBounds) {
  for (Version v : {Version::Jet3, Version::Jet4}) {
    TableDef table = sample_table(v);
    ByteVector good = encode_row(table, sample_values(300 % 256, 100));
    std::size_t corrupt = 0;
    // Every single-byte change: each must decode or fail with Corrupt.
    for (std::size_t at = 0; at < good.size(); ++at) {
      for (std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x7F}}) {
        ByteVector row = good;
        row[at] = value;
        try {
          RowLayout layout = decode_row_layout(row, v, true, 3);
          for (const auto& c : table.columns) column_bytes(layout, row, c, 3);
        } catch (const Error& e) {
          ASSERT_EQ(e.code(), ErrorCode::Corrupt) << e.what();
          EXPECT_EQ(e.where().page, 3u);
          ++corrupt;
        }
      }
    }
    EXPECT_GT(corrupt, 0u);
    for (std::size_t size = 0; size < good.size(); ++size) {
      ByteVector cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
      try {
        RowLayout layout = decode_row_layout(cut, v, true, 3);
        for (const auto& c : table.columns) column_bytes(layout, cut, c, 3);
      } catch (const Error& e) {
        ASSERT_EQ(e.code(), ErrorCode::Corrupt) << e.what();
      }
    }
  }
}

TEST(Row, RefusesAFixedValueOfTheWrongSize) {
  TableDef table = sample_table(Version::Jet4);
  auto values = sample_values(1, 1);
  values[0].bytes = {1, 2};
  EXPECT_THROW(encode_row(table, values), Error);
}

}  // namespace
}  // namespace jet
