#include "jet/catalog_definition.h"

#include <algorithm>

namespace jet {

namespace {

struct CatalogColumn {
  const char* name;
  ColumnType type;
  std::uint16_t number;
  std::uint16_t variable_index;  // variable columns
  std::uint16_t fixed_offset;    // fixed columns
  std::uint16_t length;          // Jet 3 bytes; Jet 4 text is twice as long
  std::uint8_t flags;
};

// As Access writes them, in column-number order. 0x13: fixed and updatable;
// 0x12: variable and updatable; Owner carries one more bit Access sets.
constexpr CatalogColumn kColumns[] = {
    {"Id", ColumnType::Long, 0, 0, 0, 4, 0x13},
    {"ParentId", ColumnType::Long, 1, 0, 4, 4, 0x13},
    {"Name", ColumnType::Text, 2, 0, 0, 255, 0x12},
    {"Type", ColumnType::Integer, 3, 1, 8, 2, 0x13},
    {"DateCreate", ColumnType::DateTime, 4, 1, 10, 8, 0x13},
    {"DateUpdate", ColumnType::DateTime, 5, 1, 18, 8, 0x13},
    {"Owner", ColumnType::Binary, 6, 1, 0, 255, 0x32},
    {"Flags", ColumnType::Long, 7, 2, 26, 4, 0x13},
    {"Database", ColumnType::Memo, 8, 2, 0, 0, 0x12},
    {"Connect", ColumnType::Memo, 9, 3, 0, 0, 0x12},
    {"ForeignName", ColumnType::Text, 10, 4, 0, 255, 0x12},
    {"RmtInfoShort", ColumnType::Binary, 11, 5, 0, 255, 0x12},
    {"RmtInfoLong", ColumnType::Ole, 12, 6, 0, 0, 0x12},
    {"Lv", ColumnType::Ole, 13, 7, 0, 0, 0x12},
    {"LvProp", ColumnType::Ole, 14, 8, 0, 0, 0x12},
    {"LvModule", ColumnType::Ole, 15, 9, 0, 0, 0x12},
    {"LvExtra", ColumnType::Ole, 16, 10, 0, 0, 0x12},
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
    ColumnDef column;
    column.name = declared.name;
    column.type = declared.type;
    column.number = declared.number;
    column.display_index = declared.number;
    column.flags = declared.flags;
    bool fixed = declared.flags & column_flags::FixedLength;
    column.fixed_offset = fixed ? declared.fixed_offset : 0;
    column.variable_index = declared.variable_index;
    bool doubled = version == Version::Jet4 && (declared.type == ColumnType::Text || declared.type == ColumnType::Binary);
    column.length = doubled ? static_cast<std::uint16_t>(declared.length * 2) : declared.length;
    column.sort_order = sort_order;
    if (version == Version::Jet3 && is_text_like(declared.type)) column.code_page = code_page;
    def.columns.push_back(column);
  }
  // Jet 4 keeps a table's columns in name order, Jet 3 in number order.
  if (version == Version::Jet4) {
    std::sort(def.columns.begin(), def.columns.end(),
              [](const ColumnDef& a, const ColumnDef& b) { return a.name < b.name; });
  }

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
