#include "jet/stored_row_key.h"

#include "jet/index_row_key.h"
#include "jet/value.h"

namespace jet {

std::optional<std::vector<std::uint8_t>> stored_row_key(const StoredRowSource& source, const TableDef& table,
                                                        const RealIndexDef& index, Bytes row, std::uint32_t page) {
  const RowLayout layout = decode_row_layout(row, source.version, table.variable_column_count > 0, page);
  return stored_row_key(source, table, index, layout, row, page);
}

std::optional<std::vector<std::uint8_t>> stored_row_key(const StoredRowSource& source, const TableDef& table,
                                                        const RealIndexDef& index, const RowLayout& layout,
                                                        Bytes row, std::uint32_t page) {
  std::vector<std::uint8_t> long_value;
  const ColumnValueSource value_of = [&](const ColumnDef& column) -> Value {
    const ColumnBytes stored = column_bytes(layout, row, column, page);
    if (column.type == ColumnType::Boolean) return Value{ColumnType::Boolean, stored.present};
    if (!stored.present) return Value::null(column.type);
    const ValueFormat format{source.version, column.code_page != 0 ? column.code_page : source.code_page,
                             column.scale, column.is_compressed_unicode()};
    if (!column.is_long_value()) return decode_value(column.type, stored.bytes, format, page, column.name);
    const LongValueField field = decode_long_value_field(stored.bytes, page, column.name);
    read_long_value_into(field, source.long_values, page, column.name, source.max_rows, long_value);
    return decode_value(column.type, long_value, format, page, column.name);
  };
  if (index.ignores_nulls()) {
    bool all_null = true;
    for (const IndexColumn& key : index.columns) {
      const ColumnDef* column = table.column_by_number(key.column_number);
      // A Boolean is never null; a column the table lacks is left to the
      // encoder, which names it.
      if (column == nullptr || column->type == ColumnType::Boolean ||
          column_bytes(layout, row, *column, page).present) {
        all_null = false;
        break;
      }
    }
    if (all_null) return std::nullopt;
  }
  return index_key_of_row(source.version, table, index, value_of);
}

}  // namespace jet
