#include "jet/write/table_layout.h"

#include <algorithm>

#include "jet/base/ascii.h"
#include "jet/base/error.h"
#include "jet/format/system_tables.h"
#include "jet/format/value.h"

namespace jet {

namespace {

[[noreturn]] void refuse(const std::string& what) { throw Error(ErrorCode::InvalidArgument, what); }

std::uint16_t stored_length(Version v, const NewColumn& declared) {
  switch (declared.type) {
    case ColumnType::Text:
      if (declared.size < 1 || declared.size > 255) refuse("column " + declared.name + ": a text size is 1 to 255 characters");
      return is_jet4(v) ? static_cast<std::uint16_t>(declared.size * 2) : declared.size;
    case ColumnType::Binary:
      if (declared.size < 1 || declared.size > 255) refuse("column " + declared.name + ": a binary size is 1 to 255 bytes");
      return declared.size;
    case ColumnType::Boolean:
      return 1;
    case ColumnType::Memo:
    case ColumnType::Ole:
      return 0;
    default:
      return static_cast<std::uint16_t>(fixed_size(declared.type));
  }
}

}  // namespace

TableDef lay_out_table(Version v, std::uint16_t code_page, std::uint16_t sort_order,
                       const std::vector<NewColumn>& columns, const std::vector<NewIndex>& indexes) {
  TableDef def;
  def.version = v;
  std::uint16_t fixed_offset = 0;
  std::uint16_t variable_index = 0;
  for (const NewColumn& declared : columns) {
    if (declared.name.empty()) refuse("a column needs a name");
    if (def.find_column(declared.name) != nullptr) refuse("two columns are named " + declared.name);
    if (declared.autonumber && declared.type != ColumnType::Long) refuse("column " + declared.name + ": only Long is AutoNumber");
    ColumnDef column;
    column.name = declared.name;
    column.type = declared.type;
    column.number = static_cast<std::uint16_t>(def.columns.size());
    column.display_index = column.number;
    column.length = stored_length(v, declared);
    column.flags = column_flags::Updatable;
    if (declared.autonumber) column.flags |= column_flags::AutoNumber;
    const bool fixed = !is_variable_length(declared.type);
    if (fixed) {
      column.flags |= column_flags::FixedLength;
      column.fixed_offset = fixed_offset;
      fixed_offset = static_cast<std::uint16_t>(fixed_offset + fixed_size(declared.type));
    } else {
      column.variable_index = variable_index++;
    }
    if (declared.type == ColumnType::Numeric) {
      column.precision = declared.precision;
      column.scale = declared.scale;
    }
    if (column.is_text()) {
      column.sort_order = sort_order;
      if (is_jet4(v)) {
        column.ext_flags = column_ext_flags::CompressedUnicode;
      } else {
        column.code_page = code_page;
      }
    }
    def.columns.push_back(column);
  }
  def.max_columns = static_cast<std::uint16_t>(def.columns.size());
  def.variable_column_count = variable_index;

  bool has_primary = false;
  for (const NewIndex& declared : indexes) {
    if (declared.columns.empty() || declared.columns.size() > RealIndexDef::max_columns) {
      refuse("index " + declared.name + " needs 1 to 10 columns");
    }
    RealIndexDef real;
    real.number = static_cast<std::uint32_t>(def.real_indexes.size());
    for (const NewIndexColumn& key : declared.columns) {
      const ColumnDef* column = def.find_column(key.column);
      if (column == nullptr) refuse("index " + declared.name + " names no column " + key.column);
      real.columns.push_back({column->number, key.ascending ? IndexColumn::Ascending : std::uint8_t{0}});
    }
    if (declared.primary) {
      if (has_primary) refuse("a table has one primary key");
      has_primary = true;
      real.flags = index_flags::Unique | index_flags::Required;
    } else {
      real.flags = static_cast<std::uint8_t>((declared.unique ? index_flags::Unique : 0) |
                                             (declared.ignore_nulls ? index_flags::IgnoreNulls : 0));
    }
    LogicalIndexDef logical;
    logical.number = real.number;
    logical.real_index = real.number;
    logical.type = declared.primary ? LogicalIndexType::Primary : LogicalIndexType::Normal;
    logical.name = declared.name;
    for (const LogicalIndexDef& other : def.logical_indexes) {
      if (same_name(other.name, declared.name)) refuse("two indexes are named " + declared.name);
    }
    def.real_indexes.push_back(real);
    def.logical_indexes.push_back(logical);
  }
  order_columns_for_storage(def);
  return def;
}

}  // namespace jet
