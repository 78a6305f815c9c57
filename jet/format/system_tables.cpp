#include "jet/format/system_tables.h"

#include <algorithm>
#include <initializer_list>
#include <span>
#include <vector>

#include "jet/base/ascii.h"
#include "jet/format/value.h"

namespace jet {

namespace {

// 0x13 fixed and updatable, 0x12 variable and updatable; Access sets one
// more bit (0x20) on the SID column.
constexpr std::uint8_t kFixed = 0x13;
constexpr std::uint8_t kVariable = 0x12;
constexpr std::uint8_t kSid = 0x32;
// Jet 4 sets this bit on every system index; no document names it.
constexpr std::uint8_t kJet4SystemIndexFlag = 0x80;

struct SystemIndex {
  std::uint32_t number;
  std::initializer_list<std::uint16_t> columns;
  std::uint8_t flags;
  LogicalIndexType type;
  const char* name;
};

std::uint16_t stored_length(Version v, ColumnType type) {
  switch (type) {
    case ColumnType::Text:
    case ColumnType::Binary:
      return is_jet4(v) ? 510 : 255;
    case ColumnType::Memo:
    case ColumnType::Ole:
    case ColumnType::Boolean:
      return type == ColumnType::Boolean ? 1 : 0;
    default:
      return static_cast<std::uint16_t>(fixed_size(type));
  }
}

TableDef build(Version v, std::uint16_t code_page, std::uint16_t sort_order, std::span<const SystemColumn> columns,
               std::initializer_list<SystemIndex> indexes) {
  TableDef def;
  def.version = v;
  def.type = TableType::System;
  def.raw_type = static_cast<std::uint8_t>(TableType::System);
  for (const SystemColumn& declared : columns) {
    ColumnDef column = system_column(v, declared, sort_order);
    if (!is_jet4(v)) column.code_page = code_page;
    def.columns.push_back(column);
    def.max_columns = std::max<std::uint16_t>(def.max_columns, declared.number + 1);
    if (!(declared.flags & column_flags::FixedLength)) {
      def.variable_column_count = std::max<std::uint16_t>(def.variable_column_count, declared.variable_index + 1);
    }
  }
  for (const SystemIndex& declared : indexes) {
    RealIndexDef real;
    real.number = declared.number;
    for (std::uint16_t column : declared.columns) real.columns.push_back({column, IndexColumn::Ascending});
    real.flags = is_jet4(v) ? declared.flags | kJet4SystemIndexFlag : declared.flags;
    def.real_indexes.push_back(real);
    LogicalIndexDef logical;
    logical.number = declared.number;
    logical.real_index = declared.number;
    logical.type = declared.type;
    logical.name = declared.name;
    def.logical_indexes.push_back(logical);
  }
  order_columns_for_storage(def);
  return def;
}

}  // namespace

ColumnDef system_column(Version v, const SystemColumn& declared, std::uint16_t sort_order) {
  ColumnDef column;
  column.name = declared.name;
  column.type = declared.type;
  column.number = declared.number;
  column.variable_index = declared.variable_index;
  column.fixed_offset = (declared.flags & column_flags::FixedLength) ? declared.fixed_offset : 0;
  column.flags = declared.flags;
  column.length = stored_length(v, declared.type);
  column.sort_order = sort_order;
  return column;
}

void order_columns_for_storage(TableDef& def) {
  if (is_jet4(def.version)) {
    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return name_key(a.name) < name_key(b.name); });
  } else {
    std::stable_sort(def.columns.begin(), def.columns.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
  }
}

TableDef access_entries_table_def(Version v, std::uint16_t code_page, std::uint16_t sort_order) {
  static constexpr SystemColumn kColumns[] = {{"ObjectId", ColumnType::Long, 0, 0, 0, kFixed},
                                              {"SID", ColumnType::Binary, 1, 0, 0, kSid},
                                              {"ACM", ColumnType::Long, 2, 1, 4, kFixed},
                                              {"FInheritable", ColumnType::Boolean, 3, 1, 0, kFixed}};
  return build(v, code_page, sort_order, kColumns,
               {{0, {0}, index_flags::Required, LogicalIndexType::Normal, "ObjectId"}});
}

TableDef queries_table_def(Version v, std::uint16_t code_page, std::uint16_t sort_order) {
  // Jet 4 adds LvExtra; the columns before it are Jet 3's.
  static constexpr SystemColumn kColumns[] = {{"ObjectId", ColumnType::Long, 0, 0, 0, kFixed},
                                              {"Attribute", ColumnType::Byte, 1, 0, 4, kFixed},
                                              {"Order", ColumnType::Binary, 2, 0, 0, kVariable},
                                              {"Name1", ColumnType::Text, 3, 1, 0, kVariable},
                                              {"Name2", ColumnType::Text, 4, 2, 0, kVariable},
                                              {"Expression", ColumnType::Memo, 5, 3, 0, kVariable},
                                              {"Flag", ColumnType::Integer, 6, 4, 5, kFixed},
                                              {"LvExtra", ColumnType::Long, 7, 4, 7, kFixed}};
  const std::span<const SystemColumn> columns(kColumns, is_jet4(v) ? std::size(kColumns) : std::size(kColumns) - 1);
  return build(v, code_page, sort_order, columns,
               {{0, {0, 1, 2}, index_flags::Unique, LogicalIndexType::Primary, "ObjectIdAttribute"}});
}

TableDef relationships_table_def(Version v, std::uint16_t code_page, std::uint16_t sort_order) {
  static constexpr SystemColumn kColumns[] = {{"szRelationship", ColumnType::Text, 0, 0, 0, kVariable},
                                              {"grbit", ColumnType::Long, 1, 1, 0, kFixed},
                                              {"ccolumn", ColumnType::Long, 2, 1, 4, kFixed},
                                              {"icolumn", ColumnType::Long, 3, 1, 8, kFixed},
                                              {"szObject", ColumnType::Text, 4, 1, 0, kVariable},
                                              {"szColumn", ColumnType::Text, 5, 2, 0, kVariable},
                                              {"szReferencedObject", ColumnType::Text, 6, 3, 0, kVariable},
                                              {"szReferencedColumn", ColumnType::Text, 7, 4, 0, kVariable}};
  return build(v, code_page, sort_order, kColumns,
               {{0, {0}, index_flags::IgnoreNulls, LogicalIndexType::Normal, "szRelationship"},
                {1, {4}, index_flags::IgnoreNulls, LogicalIndexType::Normal, "szObject"},
                {2, {6}, index_flags::IgnoreNulls, LogicalIndexType::Normal, "szReferencedObject"}});
}

}  // namespace jet
