#include "jet/salvage/salvage_definition.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "jet/base/error.h"
#include "jet/base/text.h"
#include "jet/format/row.h"
#include "jet/write/data_page_packer.h"

namespace jet {

namespace {

std::string column_label(const ColumnDef& column) {
  return "Column " + std::to_string(column.number) + " (" + column.name + ")";
}

// A fixed column's bytes in the row's fixed area.
struct FixedRange {
  std::size_t column;  // position in def.columns
  std::size_t start, end;
};

// Every fixed range that overlaps another, each with one it overlaps. Sorted
// by start, ranges fall into runs where each starts before the furthest end
// so far: a run of one overlaps nothing, and in a longer run every range
// overlaps the one holding that end when it starts (the run's first, the
// second).
std::vector<std::pair<FixedRange, FixedRange>> overlapping(std::vector<FixedRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const FixedRange& a, const FixedRange& b) { return std::tie(a.start, a.end) < std::tie(b.start, b.end); });
  std::vector<std::pair<FixedRange, FixedRange>> found;
  std::optional<FixedRange> furthest;  // of the current run
  bool run_first_found = false;
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    const FixedRange& range = ranges[i];
    if (!furthest || range.start >= furthest->end) {
      furthest = range;
      run_first_found = false;
      continue;
    }
    found.emplace_back(range, *furthest);
    if (!run_first_found) {
      // The first range of the run overlaps the second, which is this one.
      const FixedRange& first = ranges[i - 1];
      found.emplace_back(first, range);
      run_first_found = true;
    }
    if (range.end > furthest->end) furthest = range;
  }
  return found;
}

// The first column number, and the first variable-length slot, that no row
// can have: a row counts its columns and its variable-length values in one
// byte in Jet 3 and in two in Jet 4.
std::uint32_t no_place(Version version) { return version == Version::Jet3 ? 0xFF : 0xFFFF; }

// Access keeps at most 255 columns in a table, deleted ones included.
constexpr std::uint16_t kMostColumns = 255;

// What becomes of each column of a definition, by position.
struct ColumnFates {
  std::vector<bool> untrusted;  // its stored values are not read
  std::vector<bool> removed;    // it leaves the definition

  explicit ColumnFates(std::size_t columns) : untrusted(columns, false), removed(columns, false) {}
};

std::string values_fate(const ColumnDef& column) {
  // The writer numbers an AutoNumber given null.
  return column.is_autonumber() && column.type == ColumnType::Long ? "they were numbered afresh"
                                                                    : "they were left empty";
}

void drop_columns_numbered_past_a_row(const TableDef& def, const std::string& table, SalvageLog& log,
                                      ColumnFates& fates) {
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].number < no_place(def.version)) continue;
    fates.removed[i] = true;
    log.record(SalvageCode::ColumnValuesDropped, table,
               column_label(def.columns[i]) + " has a number no row can hold, so it can have no values; the column was dropped");
  }
}

void move_overlapping_fixed_columns(TableDef& def, const std::string& table, SalvageLog& log, ColumnFates& fates) {
  std::vector<FixedRange> ranges;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& column = def.columns[i];
    const std::size_t size = column.is_fixed_length() && !fates.removed[i] ? fixed_column_size(column) : 0;
    if (size != 0) ranges.push_back({i, column.fixed_offset, column.fixed_offset + size});
  }
  const auto overlaps = overlapping(ranges);
  if (overlaps.empty()) return;

  for (const auto& [range, other] : overlaps) fates.untrusted[range.column] = true;
  // The others keep their places; the untrusted ones follow them in turn.
  std::size_t free_from = 0;
  for (const FixedRange& range : ranges) {
    if (!fates.untrusted[range.column]) free_from = std::max(free_from, range.end);
  }
  // Every row keeps room for the untrusted columns' bytes, null or not: a
  // fixed area past half of what a row can hold would crowd out the rows'
  // other values and have the writer refuse them. Smaller columns first, so
  // that a damaged length drops that column alone.
  const std::size_t limit = DataPagePacker::max_row_size(def.version) / 2;
  auto by_size = overlaps;
  std::stable_sort(by_size.begin(), by_size.end(), [](const auto& a, const auto& b) {
    return a.first.end - a.first.start < b.first.end - b.first.start;
  });
  for (const auto& [range, other] : by_size) {
    ColumnDef& column = def.columns[range.column];
    std::string description = column_label(column) + " shares bytes of the row with " +
                              column_label(def.columns[other.column]) +
                              " by the table's definition, so its values cannot be trusted; ";
    const std::size_t size = range.end - range.start;
    if (free_from + size > limit) {
      fates.removed[range.column] = true;
      description += "no place is left for it in a row, and the column was dropped";
    } else {
      column.fixed_offset = static_cast<std::uint16_t>(free_from);
      free_from += size;
      description += values_fate(column);
    }
    log.record(SalvageCode::ColumnValuesDropped, table, description);
  }
}

// Variable-length columns sharing a slot of the row's offset table read the
// same bytes, and one whose slot no row can have would make the definition
// unwritable: both kinds move to fresh slots after the others'.
void move_shared_variable_columns(TableDef& def, const std::string& table, SalvageLog& log, ColumnFates& fates) {
  std::map<std::uint16_t, std::vector<std::size_t>> by_slot;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].is_variable_length() && !fates.removed[i]) by_slot[def.columns[i].variable_index].push_back(i);
  }
  std::uint32_t free_slot = 0;
  std::vector<std::pair<std::size_t, std::string>> moving;  // position, why
  for (const auto& [slot, columns] : by_slot) {
    if (columns.size() == 1 && slot < no_place(def.version)) {
      free_slot = std::max<std::uint32_t>(free_slot, slot + 1u);
      continue;
    }
    for (std::size_t at : columns) {
      const std::size_t other = at == columns.front() && columns.size() > 1 ? columns[1] : columns.front();
      moving.emplace_back(at, other != at ? "shares its variable-length value with " + column_label(def.columns[other])
                                          : std::string("has its variable-length value at a place no row has"));
    }
  }
  for (const auto& [at, why] : moving) {
    ColumnDef& column = def.columns[at];
    fates.untrusted[at] = true;
    std::string description = column_label(column) + " " + why + " by the table's definition, so its values cannot be trusted; ";
    if (free_slot >= no_place(def.version)) {
      fates.removed[at] = true;
      description += "no place is left for it in a row, and the column was dropped";
    } else {
      column.variable_index = static_cast<std::uint16_t>(free_slot++);
      description += values_fate(column);
    }
    log.record(SalvageCode::ColumnValuesDropped, table, description);
  }
}

}  // namespace

void reset_unknown_code_pages(TableDef& def, const std::string& table, SalvageLog& log) {
  for (ColumnDef& column : def.columns) {
    if (column.code_page == 0) continue;
    try {
      require_codepage(column.code_page);
    } catch (const Error& e) {
      if (e.code() != ErrorCode::Unsupported) throw;
      log.record(SalvageCode::ColumnCodePageReset, table,
                 column_label(column) + " names code page " + std::to_string(column.code_page) +
                     ", which is unknown; its text is read in the database's code page");
      column.code_page = 0;
    }
  }
}

std::vector<std::uint16_t> repair_column_layout(TableDef& def, const std::string& table, SalvageLog& log) {
  reset_unknown_code_pages(def, table, log);
  ColumnFates fates(def.columns.size());
  drop_columns_numbered_past_a_row(def, table, log, fates);
  move_overlapping_fixed_columns(def, table, log, fates);
  move_shared_variable_columns(def, table, log, fates);

  std::vector<std::uint16_t> numbers;
  std::vector<ColumnDef> kept;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (fates.removed[i]) continue;
    if (fates.untrusted[i]) numbers.push_back(def.columns[i].number);
    kept.push_back(std::move(def.columns[i]));
  }
  def.columns = std::move(kept);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

void fit_column_count(TableDef& def) {
  if (def.max_columns <= kMostColumns) return;
  std::uint16_t needed = 0;
  for (const ColumnDef& column : def.columns) needed = std::max<std::uint16_t>(needed, column.number + 1u);
  def.max_columns = needed;
}

void drop_broken_indexes(TableDef& def, const std::string& table, SalvageLog& log,
                         const std::vector<std::uint16_t>& untrusted_columns) {
  const auto is_untrusted = [&](std::uint16_t number) {
    return std::binary_search(untrusted_columns.begin(), untrusted_columns.end(), number);
  };
  std::vector<bool> primary(def.real_indexes.size(), false);
  for (const LogicalIndexDef& index : def.logical_indexes) {
    if (index.is_primary_key() && index.real_index < primary.size()) primary[index.real_index] = true;
  }

  std::vector<std::optional<std::uint32_t>> renumbered(def.real_indexes.size());
  std::vector<RealIndexDef> kept;
  for (std::size_t position = 0; position < def.real_indexes.size(); ++position) {
    const RealIndexDef& index = def.real_indexes[position];
    const std::string label = "Real index " + std::to_string(index.number);
    // Every index keys on one column at least; entries of an empty key would
    // be nothing but their row pointers.
    if (index.columns.empty()) {
      log.record(SalvageCode::IndexRebuilt, table, label + " has no key column; the index was dropped");
      continue;
    }
    auto missing = std::find_if(index.columns.begin(), index.columns.end(),
                                [&](const IndexColumn& key) { return !def.column_by_number(key.column_number); });
    if (missing != index.columns.end()) {
      log.record(SalvageCode::IndexRebuilt, table,
                 label + " has a key column " + std::to_string(missing->column_number) +
                     ", which the table lacks; the index was dropped");
      continue;
    }
    // Null keys would break such an index's promise, and the writer would
    // refuse every row for it.
    const bool demands_keys = index.is_unique() || index.is_required() || primary[position];
    auto unread = std::find_if(index.columns.begin(), index.columns.end(),
                               [&](const IndexColumn& key) { return is_untrusted(key.column_number); });
    if (demands_keys && unread != index.columns.end()) {
      log.record(SalvageCode::IndexRebuilt, table,
                 label + " is unique or required and has a key column " + std::to_string(unread->column_number) +
                     ", whose values cannot be trusted; the index was dropped");
      continue;
    }
    renumbered[position] = static_cast<std::uint32_t>(kept.size());
    kept.push_back(index);
    kept.back().number = *renumbered[position];
  }
  std::erase_if(def.logical_indexes, [&](LogicalIndexDef& index) {
    if (index.real_index < renumbered.size() && renumbered[index.real_index]) {
      index.real_index = *renumbered[index.real_index];
      return false;
    }
    log.record(SalvageCode::IndexRebuilt, table,
               "Index " + std::to_string(index.number) + " names real index " + std::to_string(index.real_index) +
                   ", which the table lacks or which was dropped; the index was dropped");
    return true;
  });
  def.real_indexes = std::move(kept);
}

}  // namespace jet
