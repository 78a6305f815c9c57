#include "jet/table_def.h"

#include <algorithm>
#include <cctype>

namespace jet {

namespace {

bool equal_ascii_case_insensitive(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

const ColumnDef* TableDef::find_column(std::string_view name) const {
  for (const ColumnDef& column : columns) {
    if (equal_ascii_case_insensitive(column.name, name)) return &column;
  }
  return nullptr;
}

const ColumnDef* TableDef::column_by_number(std::uint16_t number) const {
  for (const ColumnDef& column : columns) {
    if (column.number == number) return &column;
  }
  return nullptr;
}

bool operator==(const TableDef& a, const TableDef& b) {
  return a.version == b.version && a.page == b.page && a.row_count == b.row_count &&
         a.next_autonumber == b.next_autonumber && a.type == b.type && a.raw_type == b.raw_type &&
         a.max_columns == b.max_columns && a.variable_column_count == b.variable_column_count &&
         a.owned_pages == b.owned_pages && a.free_space_pages == b.free_space_pages &&
         a.reserved == b.reserved && a.columns == b.columns && a.real_indexes == b.real_indexes &&
         a.logical_indexes == b.logical_indexes && a.long_value_maps == b.long_value_maps;
}

}  // namespace jet
