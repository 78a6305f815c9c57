#include "jet/salvage/salvage_row.h"

#include <algorithm>

#include "jet/format/row.h"
#include "jet/salvage/salvage_long_value.h"

namespace jet {

namespace {

ValueFormat format_of(const ColumnDef& column, const RowContext& context) {
  ValueFormat format;
  format.version = context.def.version;
  format.code_page = column.code_page != 0 ? column.code_page : context.code_page;
  format.scale = column.scale;
  format.compress_text = column.is_compressed_unicode();
  return format;
}

bool has_variable_columns(const TableDef& def) {
  return std::any_of(def.columns.begin(), def.columns.end(),
                     [](const ColumnDef& c) { return c.is_variable_length(); });
}

}  // namespace

ProvedRow prove_row(Bytes row, std::uint32_t page, const RowContext& context) {
  const TableDef& def = context.def;
  RowLayout layout = decode_row_layout(row, def.version, has_variable_columns(def), page);
  // A row can hold fewer columns than its table (written before columns were
  // added), never more than the table ever had.
  if (layout.column_count > def.max_columns || layout.column_count == 0) {
    throw_corrupt(page, "row", "column count",
                  std::to_string(layout.column_count) + " columns in a table that has had at most " +
                      std::to_string(def.max_columns));
  }

  ProvedRow proved;
  proved.values.reserve(def.columns.size());
  for (const ColumnDef& column : def.columns) {
    if (std::binary_search(context.unread_columns.begin(), context.unread_columns.end(), column.number)) {
      proved.values.push_back(Value::null(column.type));
      continue;
    }
    ColumnBytes stored = column_bytes(layout, row, column, page);
    if (column.type == ColumnType::Boolean) {
      // The bitmap bit is the value; a row without the column reads null.
      proved.values.push_back(column.number < layout.column_count ? Value{column.type, stored.present}
                                                                  : Value::null(column.type));
      continue;
    }
    if (!stored.present) {
      proved.values.push_back(Value::null(column.type));
      continue;
    }
    ValueFormat format = format_of(column, context);
    if (!column.is_long_value()) {
      proved.values.push_back(decode_value(column.type, stored.bytes, format, page, column.name));
      continue;
    }
    LongValueField field = decode_long_value_field(stored.bytes, page, column.name);
    SalvagedLongValue data = salvage_long_value(field, context.fetch_long_value_row, context.max_chain_rows);
    if (data.cut) proved.cuts.push_back("column " + column.name + ": " + data.why);
    try {
      proved.values.push_back(decode_value(column.type, data.bytes, format, page, column.name));
    } catch (const Error& e) {
      if (!data.cut || e.code() != ErrorCode::Corrupt) throw;
      // A Memo cut inside a character: keep the value empty rather than the
      // row lost.
      proved.values.push_back(Value::null(column.type));
    }
  }
  return proved;
}

}  // namespace jet
