#include "jet/format/row.h"

#include <algorithm>
#include <string>

#include "jet/format/value.h"

namespace jet {

namespace {

std::string column_label(const ColumnDef& c) {
  return "column " + std::to_string(c.number) + " (" + c.name + ")";
}

std::size_t null_mask_size(std::size_t column_count) { return (column_count + 7) / 8; }

// Jet 3's low-byte offsets and jump table.
void jet3_offsets(const ByteReader& r, std::size_t mask_size, std::size_t var_count,
                  std::vector<std::uint16_t>& offsets) {
  std::size_t length = r.size();
  std::size_t count_at = length - mask_size - 1;
  std::size_t jumps = (length - 1) / 256;
  if (count_at < jumps + var_count + 1) r.fail("variable column count", "does not fit the row");
  std::size_t col_ptr = count_at - jumps - 1;
  // The end-of-data offset sits at col_ptr - var_count and equals its own
  // position; when that position's high byte is below the jump count, the
  // last jump entry is a dummy.
  if ((col_ptr - var_count) / 256 < jumps) --jumps;
  offsets.resize(var_count + 1);
  std::size_t used = 0;
  for (std::size_t i = 0; i <= var_count; ++i) {
    while (used < jumps && r.u8(count_at - 1 - used, "jump table") == i) ++used;
    offsets[i] = static_cast<std::uint16_t>(r.u8(col_ptr - i, "variable offset") + 256 * used);
  }
}

void jet4_offsets(const ByteReader& r, std::size_t mask_size, std::size_t var_count,
                  std::vector<std::uint16_t>& offsets) {
  std::size_t length = r.size();
  if (length < mask_size + 4 + 2 * var_count) r.fail("variable column count", "does not fit the row");
  offsets.resize(var_count + 1);
  for (std::size_t i = 0; i <= var_count; ++i) {
    offsets[i] = r.u16(length - mask_size - 4 - 2 * i, "variable offset");
  }
}

}  // namespace

std::size_t fixed_column_size(const ColumnDef& column) {
  std::size_t size = fixed_size(column.type);
  return size != 0 || column.type == ColumnType::Boolean ? size : column.length;
}

RowLayout decode_row_layout(Bytes row, Version version, bool has_variable_columns,
                            std::uint32_t page) {
  RowLayout layout;
  decode_row_layout_into(row, version, has_variable_columns, page, layout);
  return layout;
}

void decode_row_layout_into(Bytes row, Version version, bool has_variable_columns,
                            std::uint32_t page, RowLayout& layout) {
  ByteReader r(row, page, "row");
  layout.var_offsets.clear();
  bool jet3 = version == Version::Jet3;
  layout.fixed_start = jet3 ? 1 : 2;
  layout.column_count = jet3 ? r.u8(0, "column count") : r.u16(0, "column count");
  std::size_t mask_size = null_mask_size(layout.column_count);
  if (row.size() < layout.fixed_start + mask_size) r.fail("null bitmap", "does not fit the row");
  layout.null_mask = row.subspan(row.size() - mask_size);
  if (!has_variable_columns) return;

  std::size_t count_at = row.size() - mask_size - (jet3 ? 1 : 2);
  if (count_at < layout.fixed_start) r.fail("variable column count", "does not fit the row");
  std::size_t var_count = jet3 ? r.u8(count_at, "variable column count")
                               : r.u16(count_at, "variable column count");
  if (jet3) {
    jet3_offsets(r, mask_size, var_count, layout.var_offsets);
  } else {
    jet4_offsets(r, mask_size, var_count, layout.var_offsets);
  }

  // Offsets must rise from the fixed area to the end of data, which must end
  // before the trailer starts.
  std::size_t trailer_start = jet3 ? row.size() - mask_size - 1 - (row.size() - 1) / 256 - var_count - 1
                                   : row.size() - mask_size - 2 - 2 * (var_count + 1);
  std::size_t previous = layout.fixed_start;
  for (std::size_t i = 0; i < layout.var_offsets.size(); ++i) {
    std::size_t at = layout.var_offsets[i];
    if (at < previous || at > trailer_start) {
      r.fail("variable offset " + std::to_string(i),
             "offset " + std::to_string(at) + " is outside " + std::to_string(previous) + ".." +
                 std::to_string(trailer_start));
    }
    previous = at;
  }
}

void fail_outside_fixed_area(Bytes row, std::uint32_t page, const ColumnDef& column, std::size_t at,
                             std::size_t size) {
  ByteReader(row, page, "row")
      .fail(column_label(column), "fixed value at " + std::to_string(at) + " (" + std::to_string(size) +
                                      " bytes) leaves the fixed area");
}

std::vector<std::uint8_t> encode_row(const TableDef& table, std::span<const StoredColumn> columns) {
  if (columns.size() != table.columns.size()) {
    throw Error(ErrorCode::InvalidArgument, "a row needs one value per column");
  }
  bool jet3 = table.version == Version::Jet3;
  std::size_t fixed_start = jet3 ? 1 : 2;
  std::size_t column_count = table.max_columns;
  std::size_t var_count = 0;
  std::size_t fixed_area = 0;
  bool has_variable = table.variable_column_count > 0;
  for (const auto& c : table.columns) {
    column_count = std::max<std::size_t>(column_count, c.number + 1u);
    if (c.is_fixed_length()) {
      fixed_area = std::max(fixed_area, c.fixed_offset + fixed_column_size(c));
    } else {
      has_variable = true;
      var_count = std::max<std::size_t>(var_count, c.variable_index + 1u);
    }
  }
  if (column_count > (jet3 ? 255u : 0xFFFFu) || (jet3 && var_count > 255)) {
    throw Error(ErrorCode::LimitExceeded, "too many columns for one row");
  }

  std::vector<std::uint8_t> row(fixed_start + fixed_area, 0);
  if (jet3) {
    row[0] = static_cast<std::uint8_t>(column_count);
  } else {
    store_u16(row.data(), static_cast<std::uint16_t>(column_count));
  }
  std::vector<std::uint8_t> mask(null_mask_size(column_count), 0);
  std::vector<const StoredColumn*> variable(var_count, nullptr);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef& c = table.columns[i];
    const StoredColumn& v = columns[i];
    if (v.present) mask[c.number / 8u] |= static_cast<std::uint8_t>(1u << (c.number % 8u));
    if (c.type == ColumnType::Boolean) continue;
    if (c.is_fixed_length()) {
      if (!v.present) continue;
      if (v.bytes.size() != fixed_column_size(c)) {
        throw Error(ErrorCode::InvalidArgument, column_label(c) + " needs " +
                                                    std::to_string(fixed_column_size(c)) +
                                                    " bytes, was given " +
                                                    std::to_string(v.bytes.size()));
      }
      std::copy(v.bytes.begin(), v.bytes.end(),
                row.begin() + static_cast<std::ptrdiff_t>(fixed_start + c.fixed_offset));
    } else {
      variable[c.variable_index] = &v;
    }
  }

  if (has_variable) {
    std::vector<std::size_t> offsets;
    for (const StoredColumn* v : variable) {
      offsets.push_back(row.size());
      if (v && v->present) row.insert(row.end(), v->bytes.begin(), v->bytes.end());
    }
    std::size_t end_of_data = row.size();
    offsets.push_back(end_of_data);
    if (jet3) {
      // Trailer: offsets (end of data first), jump table, count, bitmap. Its
      // own length decides how many jump entries there are.
      std::size_t jumps = 0;
      for (;;) {
        std::size_t length = end_of_data + offsets.size() + jumps + 1 + mask.size();
        std::size_t needed = (length - 1) / 256;
        if (needed == jumps) break;
        jumps = needed;
      }
      if (end_of_data > 0xFFFF) throw Error(ErrorCode::LimitExceeded, "row too long");
      for (std::size_t i = offsets.size(); i-- > 0;) row.push_back(static_cast<std::uint8_t>(offsets[i]));
      std::vector<std::uint8_t> table_bytes(jumps, 0xFF);
      for (std::size_t k = 0; k < jumps; ++k) {
        for (std::size_t i = 0; i < offsets.size(); ++i) {
          if (offsets[i] >= 256 * (k + 1)) {
            table_bytes[k] = static_cast<std::uint8_t>(i);
            break;
          }
        }
      }
      for (std::size_t k = jumps; k-- > 0;) row.push_back(table_bytes[k]);
      row.push_back(static_cast<std::uint8_t>(var_count));
    } else {
      for (std::size_t i = offsets.size(); i-- > 0;) {
        row.push_back(static_cast<std::uint8_t>(offsets[i]));
        row.push_back(static_cast<std::uint8_t>(offsets[i] >> 8));
      }
      row.push_back(static_cast<std::uint8_t>(var_count));
      row.push_back(static_cast<std::uint8_t>(var_count >> 8));
    }
  }
  row.insert(row.end(), mask.begin(), mask.end());
  return row;
}

}  // namespace jet
