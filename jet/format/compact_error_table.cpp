#include "jet/format/compact_error_table.h"

namespace jet {

namespace {

// The flag bytes Access writes for ordinary columns: 0x10 and "updatable" on
// every column, "fixed length" on the fixed ones.
constexpr std::uint8_t kFixedColumnFlags = 0x10 | column_flags::Updatable | column_flags::FixedLength;
constexpr std::uint8_t kVariableColumnFlags = 0x10 | column_flags::Updatable;

ColumnDef column(const char* name, ColumnType type, std::uint16_t number, std::uint16_t length,
                 Version version, std::uint16_t code_page, std::uint16_t sort_order) {
  ColumnDef c;
  c.name = name;
  c.type = type;
  c.number = number;
  c.display_index = number;
  c.length = length;
  c.sort_order = sort_order;
  if (version == Version::Jet3 && (type == ColumnType::Text || type == ColumnType::Memo)) c.code_page = code_page;
  return c;
}

}  // namespace

TableDef compact_error_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order) {
  TableDef def;
  def.version = version;
  def.type = TableType::User;
  def.raw_type = static_cast<std::uint8_t>(TableType::User);

  const std::uint16_t text_bytes = version == Version::Jet3 ? 255 : 510;
  ColumnDef code = column("ErrorCode", ColumnType::Long, 0, 4, version, code_page, sort_order);
  code.flags = kFixedColumnFlags;
  code.fixed_offset = 0;
  ColumnDef description = column("ErrorDescription", ColumnType::Memo, 1, 0, version, code_page, sort_order);
  description.flags = kVariableColumnFlags;
  description.variable_index = 0;
  ColumnDef recid = column("ErrorRecid", ColumnType::Long, 2, 4, version, code_page, sort_order);
  recid.flags = kFixedColumnFlags;
  recid.fixed_offset = 4;
  ColumnDef table = column("ErrorTable", ColumnType::Text, 3, text_bytes, version, code_page, sort_order);
  table.flags = kVariableColumnFlags;
  table.variable_index = 1;

  def.columns = {code, description, recid, table};
  def.max_columns = 4;
  def.variable_column_count = 2;
  return def;
}

}  // namespace jet
