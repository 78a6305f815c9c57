// The layout of one stored row.
//
// Jet 4:
//   0     2  column count the row was written with
//   2        fixed-length area: each fixed column at its fixed offset
//            variable-length data, in variable-index order
//            end-of-data offset (2 bytes)
//            variable offsets, last column first (2 bytes each)
//            variable column count (2 bytes)
//   end      null bitmap, (column count + 7) / 8 bytes: bit n (byte n / 8,
//            bit n % 8) set means column number n is not null; for a Boolean
//            column the bit is the value
// Jet 3 is the same with 1-byte counts and offsets. Offsets then hold only
// their low byte; a jump table between the offsets and the variable column
// count restores the high bytes. It has (row length - 1) / 256 entries, the
// one nearest the count first; entry k names the first variable index (the
// end-of-data offset counting as the last index) whose offset is at least
// 256 * (k + 1). When the trailer itself crosses a 256-byte boundary, the
// last entry is a dummy (FF).
//
// A table without variable-length columns has no variable trailer at all,
// only the null bitmap. Rows written before a column was added have fewer
// columns than the table: the added columns read as null.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/table_def.h"

namespace jet {

struct RowLayout {
  std::uint16_t column_count = 0;
  std::size_t fixed_start = 0;             // 1 (Jet 3) or 2 (Jet 4)
  Bytes null_mask;
  std::vector<std::uint16_t> var_offsets;  // variable count + 1 (end of data last)

  std::size_t variable_count() const { return var_offsets.empty() ? 0 : var_offsets.size() - 1; }
  // The null bitmap bit of a column number (false beyond the row's columns).
  bool bit(std::uint16_t column_number) const;
};

// Splits a row into its parts, checking every offset against the row.
RowLayout decode_row_layout(Bytes row, Version version, bool has_variable_columns,
                            std::uint32_t page);

// The same into `layout`, reusing its offset vector: a walk over many rows
// then allocates nothing a row.
void decode_row_layout_into(Bytes row, Version version, bool has_variable_columns,
                            std::uint32_t page, RowLayout& layout);

// The stored bytes of one column: absent when the column is null (for a
// Boolean, when it is false). Raises Corrupt when the column's bytes leave
// the row.
struct ColumnBytes {
  bool present = false;
  Bytes bytes;
};
// Inline: a walk over a table calls it for every column of every row.
inline ColumnBytes column_bytes(const RowLayout& layout, Bytes row, const ColumnDef& column,
                                std::uint32_t page);

// What encode_row stores for one column: present false for null (Boolean:
// false); bytes are the encoded value (for long values, the 12-byte field and
// any inline data).
struct StoredColumn {
  bool present = false;
  std::vector<std::uint8_t> bytes;
};

// Encodes a row of `table`; columns[i] is the value of table.columns[i].
// Raises InvalidArgument when a fixed column's bytes have the wrong size.
std::vector<std::uint8_t> encode_row(const TableDef& table, std::span<const StoredColumn> columns);

// Bytes a fixed-length column occupies in the fixed area.
std::size_t fixed_column_size(const ColumnDef& column);

// Raises the Corrupt error of a fixed value that leaves the fixed area; out
// of line, so that column_bytes carries no message building.
[[noreturn, gnu::cold]] void fail_outside_fixed_area(Bytes row, std::uint32_t page, const ColumnDef& column,
                                                     std::size_t at, std::size_t size);

inline bool RowLayout::bit(std::uint16_t n) const {
  if (n >= column_count || n / 8u >= null_mask.size()) return false;
  return (null_mask[n / 8u] >> (n % 8u)) & 1u;
}

inline ColumnBytes column_bytes(const RowLayout& layout, Bytes row, const ColumnDef& column,
                                std::uint32_t page) {
  ColumnBytes out;
  if (column.number >= layout.column_count) return out;  // added after the row was written
  out.present = layout.bit(column.number);
  if (column.type == ColumnType::Boolean || !out.present) return out;

  if (column.is_fixed_length()) {
    const std::size_t size = fixed_column_size(column);
    const std::size_t at = layout.fixed_start + column.fixed_offset;
    const std::size_t fixed_end = layout.var_offsets.empty() ? row.size() - layout.null_mask.size()
                                                             : layout.var_offsets.front();
    if (at + size > fixed_end) [[unlikely]] fail_outside_fixed_area(row, page, column, at, size);
    out.bytes = row.subspan(at, size);
    return out;
  }
  if (column.variable_index >= layout.variable_count()) {
    out.present = false;  // the row has no slot for it: written before the column existed
    return out;
  }
  const std::size_t start = layout.var_offsets[column.variable_index];
  const std::size_t end = layout.var_offsets[column.variable_index + 1u];
  out.bytes = row.subspan(start, end - start);
  return out;
}

}  // namespace jet
