#include "jet/format/stored_row_key.h"

#include "jet/base/text.h"
#include "jet/format/index_row_key.h"
#include "jet/format/value.h"

namespace jet {

namespace {

// One column's value as the row stores it: Boolean as a bool, null as a null
// Value, a long value assembled in `long_value` (whose memory is reused).
Value stored_value(const StoredRowSource& source, const ColumnDef& column, const ColumnBytes& stored,
                   std::uint32_t page, std::vector<std::uint8_t>& long_value) {
  if (column.type == ColumnType::Boolean) return Value{ColumnType::Boolean, stored.present};
  if (!stored.present) return Value::null(column.type);
  const ValueFormat format{source.version, column.code_page != 0 ? column.code_page : source.code_page,
                           column.scale, column.is_compressed_unicode()};
  if (!column.is_long_value()) return decode_value(column.type, stored.bytes, format, page, column.name);
  const LongValueField field = decode_long_value_field(stored.bytes, page, column.name);
  read_long_value_into(field, source.long_values, page, column.name, source.max_rows, long_value);
  return decode_value(column.type, long_value, format, page, column.name);
}

// Whether an index that ignores nulls leaves the row out: every key column
// is null. A Boolean is never null; a column the table lacks is left to the
// encoder, which names it.
bool all_key_columns_null(const TableDef& table, const RealIndexDef& index, const RowLayout& layout, Bytes row,
                          std::uint32_t page) {
  for (const IndexColumn& key : index.columns) {
    const ColumnDef* column = table.column_by_number(key.column_number);
    if (column == nullptr || column->type == ColumnType::Boolean || column_bytes(layout, row, *column, page).present) {
      return false;
    }
  }
  return true;
}

// Types whose key value is the value's bytes exactly as the row stores them
// (see KeyValue): no decoding needed.
bool keyed_as_stored(ColumnType type) {
  switch (type) {
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Guid:
    case ColumnType::Binary:
      return true;
    default:
      return false;
  }
}

}  // namespace

StoredRowKeys::StoredRowKeys(StoredRowSource source, const TableDef& table)
    : source_(std::move(source)), table_(table), indexes_(table.real_indexes.size()) {
  for (std::size_t i = 0; i < indexes_.size(); ++i) {
    const RealIndexDef& index = table.real_indexes[i];
    try {
      indexes_[i].keys = index_key_columns(source_.version, table, index);
      for (const IndexColumn& key : index.columns) indexes_[i].defs.push_back(table.column_by_number(key.column_number));
    } catch (const Error&) {
      indexes_[i].unusable = std::current_exception();
    }
  }
}

std::optional<Bytes> StoredRowKeys::key(std::size_t position, const RowLayout& layout, Bytes row,
                                        std::uint32_t page) {
  const RealIndexDef& index = table_.real_indexes.at(position);
  const IndexColumns& columns = indexes_[position];
  if (columns.unusable) std::rethrow_exception(columns.unusable);
  if (index.ignores_nulls() && all_key_columns_null(table_, index, layout, row, page)) return std::nullopt;
  key_.clear();
  for (std::size_t i = 0; i < columns.defs.size(); ++i) {
    const ColumnDef& def = *columns.defs[i];
    const ColumnBytes stored = column_bytes(layout, row, def, page);
    if (stored.present && keyed_as_stored(def.type)) {
      append_key_column(key_, columns.keys[i], stored.bytes);
    } else if (stored.present && def.type == ColumnType::Text && source_.version == Version::Jet4) {
      decode_jet4_text_utf16(stored.bytes, text_);
      append_key_column(key_, columns.keys[i], std::u16string_view(text_));
    } else {
      append_row_key_column(key_, source_.version, def, columns.keys[i],
                            stored_value(source_, def, stored, page, long_value_));
    }
  }
  return Bytes(key_);
}

std::optional<Bytes> StoredRowKeys::key(std::size_t position, Bytes row, std::uint32_t page) {
  decode_row_layout_into(row, source_.version, table_.variable_column_count > 0, page, layout_);
  return key(position, layout_, row, page);
}

}  // namespace jet
