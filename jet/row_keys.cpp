#include "jet/row_keys.h"

#include <string>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/text.h"

namespace jet {

RowKeys::RowKeys(const TableDef& def, std::uint16_t database_code_page) : def_(def), code_page_(database_code_page) {}

std::optional<std::vector<std::uint8_t>> RowKeys::key(const RealIndexDef& index,
                                                      const std::vector<Value>& values) const {
  std::vector<KeyColumn> columns;
  std::vector<KeyValue> keys;
  // Storage the KeyValue views point into; sized up front so it never moves.
  std::vector<std::vector<std::uint8_t>> bytes;
  std::vector<std::u16string> texts;
  bytes.reserve(index.columns.size());
  texts.reserve(index.columns.size());
  bool all_null = true;

  for (const IndexColumn& key_column : index.columns) {
    std::size_t position = def_.columns.size();
    for (std::size_t i = 0; i < def_.columns.size(); ++i) {
      if (def_.columns[i].number == key_column.column_number) position = i;
    }
    if (position == def_.columns.size() || position >= values.size()) {
      throw Error(ErrorCode::Unsupported, "the index names column number " + std::to_string(key_column.column_number) +
                                              ", which the table does not have");
    }
    const ColumnDef& column = def_.columns[position];
    const Value& value = values[position];
    columns.push_back({column.type, key_column.is_ascending(),
                       text_sort_order(def_.version, column.sort_order, column.sort_order_version)});
    if (column.type == ColumnType::Boolean) {
      bool on = !value.is_null() && std::get<bool>(value.data);
      keys.emplace_back(on);
      all_null = false;
      continue;
    }
    if (value.is_null()) {
      keys.emplace_back(std::monostate{});
      continue;
    }
    all_null = false;
    if (const auto* text = std::get_if<std::string>(&value.data)) {
      std::vector<std::uint8_t> utf16 = utf8_to_utf16le(*text);
      std::u16string units;
      for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) units.push_back(static_cast<char16_t>(load_u16(&utf16[i])));
      texts.push_back(std::move(units));
      keys.emplace_back(std::u16string_view(texts.back()));
      continue;
    }
    if (const auto* binary = std::get_if<std::vector<std::uint8_t>>(&value.data)) {
      bytes.push_back(*binary);
    } else {
      ValueFormat format;
      format.version = def_.version;
      format.code_page = column.code_page != 0 ? column.code_page : code_page_;
      format.scale = column.scale;
      bytes.push_back(encode_value(value, format));
    }
    keys.emplace_back(Bytes(bytes.back()));
  }
  if (all_null && index.ignores_nulls()) return std::nullopt;
  return encode_index_key(columns, keys);
}

}  // namespace jet
