// Table definition checks: the definition's pages, and the counts and
// cross-references inside it that must agree with each other.
#include <set>

#include "jet/format/row.h"
#include "jet/format/value.h"
#include "jet/verify/verify_context.h"

namespace jet {

namespace {

constexpr const char* kStructure = "table definition";

std::string column_label(const ColumnDef& column) {
  return "column " + std::to_string(column.number) + " (" + column.name + ")";
}

void check_columns(VerifyContext& context, const TableDef& def) {
  std::set<std::uint16_t> numbers;
  std::set<std::uint16_t> variable_indexes;
  std::size_t variable_columns = 0;
  // Fixed-area byte ranges already taken, by start: overlapping columns
  // would read each other's bytes.
  std::vector<std::pair<std::size_t, std::size_t>> fixed_ranges;

  for (const ColumnDef& column : def.columns) {
    std::string label = column_label(column);
    if (!numbers.insert(column.number).second) {
      context.add(Severity::Error, def.page, kStructure, label + " number",
                  "the number is used by another column as well");
    }
    if (column.number >= def.max_columns) {
      context.add(Severity::Error, def.page, kStructure, label + " number",
                  "not below the table's column limit " + std::to_string(def.max_columns));
    }
    // The flag decides where a row keeps the value: Access stores some
    // fixed-size types (Long, Date/Time) as variable-length columns.
    if (column.is_variable_length()) {
      ++variable_columns;
      if (!variable_indexes.insert(column.variable_index).second) {
        context.add(Severity::Error, def.page, kStructure, label + " variable index",
                    "shared with another column");
      }
    } else if (std::size_t size = fixed_column_size(column)) {
      std::size_t start = column.fixed_offset;
      for (auto [other_start, other_end] : fixed_ranges) {
        if (start < other_end && other_start < start + size) {
          context.add(Severity::Error, def.page, kStructure, label + " fixed offset",
                      "overlaps another fixed column");
          break;
        }
      }
      fixed_ranges.emplace_back(start, start + size);
    }
  }
  // The stored count is the number of variable-index slots, deleted
  // columns' included: a maximum, like the column count.
  if (variable_columns > def.variable_column_count) {
    context.add(Severity::Error, def.page, kStructure, "variable column count",
                "says " + std::to_string(def.variable_column_count) + " but " +
                    std::to_string(variable_columns) + " columns are variable length");
  }
  for (const ColumnDef& column : def.columns) {
    if (column.is_variable_length() && column.variable_index >= def.variable_column_count) {
      context.add(Severity::Error, def.page, kStructure, column_label(column) + " variable index",
                  "not below the variable column count " + std::to_string(def.variable_column_count));
    }
  }
}

void check_indexes(VerifyContext& context, const TableDef& def) {
  for (const RealIndexDef& index : def.real_indexes) {
    for (const IndexColumn& key : index.columns) {
      if (!def.column_by_number(key.column_number)) {
        context.add(Severity::Error, def.page, kStructure,
                    "real index " + std::to_string(index.number) + " key column",
                    "names column " + std::to_string(key.column_number) + ", which the table lacks");
      }
    }
  }
  for (const LogicalIndexDef& index : def.logical_indexes) {
    std::string field = "logical index " + std::to_string(index.number) + " (" + index.name + ")";
    if (index.real_index >= def.real_indexes.size()) {
      context.add(Severity::Error, def.page, kStructure, field + " real index",
                  "names real index " + std::to_string(index.real_index) + " of " +
                      std::to_string(def.real_indexes.size()));
    }
    if (index.is_foreign_key() && index.related_table_page != 0) {
      auto type = context.page_type(index.related_table_page);
      if (type != static_cast<std::uint8_t>(PageType::TableDefinition)) {
        context.add(Severity::Error, def.page, kStructure, field + " related table",
                    "page " + std::to_string(index.related_table_page) +
                        (type ? " is no table definition" : " lies beyond the file"));
      }
    }
  }
  for (const LongValueColumnMaps& maps : def.long_value_maps) {
    const ColumnDef* column = def.column_by_number(maps.column_number);
    if (!column || !column->is_long_value()) {
      context.add(Severity::Error, def.page, kStructure, "long-value column maps",
                  "name column " + std::to_string(maps.column_number) +
                      ", which is no Memo or OLE column of the table");
    }
  }
}

}  // namespace

void check_table_definition(VerifyContext& context, VerifiedTable& table) {
  try {
    table.def = read_table_def(context.version(), table.definition_page, context.page_count(),
                               context.page_source());
  } catch (const Error& error) {
    if (!is_damage(error)) throw;
    context.findings().add_error(error);
    return;
  }
  for (std::uint32_t page : table.def->pages) {
    context.ledger().claim(page, {PageRole::TableDefinition, table.definition_page}, context.findings());
  }
  check_columns(context, *table.def);
  check_indexes(context, *table.def);
}

}  // namespace jet
