#include "jet/format/index_row_key.h"

#include <string>

#include "jet/base/error.h"
#include "jet/base/text.h"

namespace jet {

namespace {

const ColumnDef& key_column_def(const TableDef& table, const RealIndexDef& index, const IndexColumn& key) {
  const ColumnDef* def = table.column_by_number(key.column_number);
  if (!def) {
    throw_corrupt(table.page, "table definition",
                  "real index " + std::to_string(index.number) + " column",
                  "names column number " + std::to_string(key.column_number) + ", which the table does not have");
  }
  return *def;
}

std::u16string to_utf16(const std::string& utf8) {
  const std::vector<std::uint8_t> le = utf8_to_utf16le(utf8);
  std::u16string text(le.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(le[2 * i] | (le[2 * i + 1] << 8));
  return text;
}

}  // namespace

std::vector<KeyColumn> index_key_columns(Version v, const TableDef& table, const RealIndexDef& index) {
  std::vector<KeyColumn> columns;
  for (const IndexColumn& key : index.columns) {
    const ColumnDef& def = key_column_def(table, index, key);
    columns.push_back(
        KeyColumn{def.type, key.is_ascending(), text_sort_order(v, def.sort_order, def.sort_order_version)});
  }
  return columns;
}

void append_row_key_column(std::vector<std::uint8_t>& out, Version v, const ColumnDef& def, const KeyColumn& column,
                           const Value& value) {
  if (def.type == ColumnType::Boolean) {
    // Jet keeps no null Boolean: it indexes as false.
    const bool* truth = std::get_if<bool>(&value.data);
    append_key_column(out, column, truth && *truth);
  } else if (value.is_null()) {
    append_key_column(out, column, std::monostate{});
  } else if (def.is_text()) {
    const std::u16string text = to_utf16(std::get<std::string>(value.data));
    append_key_column(out, column, std::u16string_view(text));
  } else if (def.type == ColumnType::Binary) {
    append_key_column(out, column, Bytes(std::get<std::vector<std::uint8_t>>(value.data)));
  } else {
    ValueFormat format;
    format.version = v;
    format.scale = def.scale;
    const std::vector<std::uint8_t> stored = encode_value(value, format);
    append_key_column(out, column, Bytes(stored));
  }
}

std::vector<std::uint8_t> index_key_of_row(Version v, const TableDef& table, const RealIndexDef& index,
                                           const ColumnValueSource& value_of) {
  const std::vector<KeyColumn> columns = index_key_columns(v, table, index);
  std::vector<std::uint8_t> key;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef& def = key_column_def(table, index, index.columns[i]);
    append_row_key_column(key, v, def, columns[i], value_of(def));
  }
  return key;
}

}  // namespace jet
