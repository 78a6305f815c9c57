#include "jet/format/catalog_definition.h"

#include <algorithm>

#include "jet/format/system_tables.h"

namespace jet {

namespace {

// As Access writes them, in column-number order. 0x13: fixed and updatable;
// 0x12: variable and updatable; Owner carries one more bit Access sets.
constexpr SystemColumn kColumns[] = {
    {catalog_column::kId, ColumnType::Long, 0, 0, 0, 0x13},
    {catalog_column::kParentId, ColumnType::Long, 1, 0, 4, 0x13},
    {catalog_column::kName, ColumnType::Text, 2, 0, 0, 0x12},
    {catalog_column::kType, ColumnType::Integer, 3, 1, 8, 0x13},
    {catalog_column::kDateCreate, ColumnType::DateTime, 4, 1, 10, 0x13},
    {catalog_column::kDateUpdate, ColumnType::DateTime, 5, 1, 18, 0x13},
    {"Owner", ColumnType::Binary, 6, 1, 0, 0x32},
    {catalog_column::kFlags, ColumnType::Long, 7, 2, 26, 0x13},
    {catalog_column::kDatabase, ColumnType::Memo, 8, 2, 0, 0x12},
    {catalog_column::kConnect, ColumnType::Memo, 9, 3, 0, 0x12},
    {catalog_column::kForeignName, ColumnType::Text, 10, 4, 0, 0x12},
    {"RmtInfoShort", ColumnType::Binary, 11, 5, 0, 0x12},
    {"RmtInfoLong", ColumnType::Ole, 12, 6, 0, 0x12},
    {catalog_column::kLv, ColumnType::Ole, 13, 7, 0, 0x12},
    {catalog_column::kLvProp, ColumnType::Ole, 14, 8, 0, 0x12},
    {catalog_column::kLvModule, ColumnType::Ole, 15, 9, 0, 0x12},
    {catalog_column::kLvExtra, ColumnType::Ole, 16, 10, 0, 0x12},
};

constexpr std::uint16_t kParentIdColumn = 1;
constexpr std::uint16_t kNameColumn = 2;
constexpr std::uint16_t kIdColumn = 0;

bool is_text_like(ColumnType type) { return type == ColumnType::Text || type == ColumnType::Memo; }

}  // namespace

TableDef catalog_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order) {
  TableDef def;
  def.version = version;
  def.page = kCatalogPage;
  def.type = TableType::System;
  def.raw_type = static_cast<std::uint8_t>(TableType::System);
  def.max_columns = std::size(kColumns);
  def.variable_column_count = 11;

  for (const auto& declared : kColumns) {
    ColumnDef column = system_column(version, declared, sort_order);
    column.display_index = declared.number;
    if (version == Version::Jet3 && is_text_like(declared.type)) column.code_page = code_page;
    def.columns.push_back(column);
  }
  order_columns_for_storage(def);

  RealIndexDef by_id;
  by_id.number = 1;
  by_id.columns = {{kIdColumn, true}};
  by_id.flags = index_flags::Unique;
  RealIndexDef by_parent_and_name;
  by_parent_and_name.number = 0;
  by_parent_and_name.columns = {{kParentIdColumn, true}, {kNameColumn, true}};
  by_parent_and_name.flags = index_flags::Unique;
  def.real_indexes = {by_parent_and_name, by_id};

  LogicalIndexDef id;
  id.number = 1;
  id.real_index = 1;
  id.type = LogicalIndexType::Primary;
  id.name = "Id";
  LogicalIndexDef parent_and_name;
  parent_and_name.number = 0;
  parent_and_name.real_index = 0;
  parent_and_name.name = "ParentIdName";
  def.logical_indexes = {id, parent_and_name};
  return def;
}

bool has_catalog_shape(const TableDef& def) {
  for (const auto& declared : kColumns) {
    const ColumnDef* column = def.column_by_number(declared.number);
    if (column == nullptr || column->name != declared.name || column->type != declared.type) return false;
    if (column->is_fixed_length() != static_cast<bool>(declared.flags & column_flags::FixedLength)) return false;
    if (column->is_fixed_length() ? column->fixed_offset != declared.fixed_offset
                                  : column->variable_index != declared.variable_index) {
      return false;
    }
  }
  return true;
}

}  // namespace jet
