#include "jet/salvage_definition.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "jet/data_page_packer.h"
#include "jet/row.h"

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

}  // namespace

std::vector<std::uint16_t> distrust_overlapping_fixed_columns(TableDef& def, const std::string& table,
                                                              SalvageLog& log) {
  std::vector<FixedRange> ranges;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    const ColumnDef& column = def.columns[i];
    const std::size_t size = column.is_fixed_length() ? fixed_column_size(column) : 0;
    if (size != 0) ranges.push_back({i, column.fixed_offset, column.fixed_offset + size});
  }
  const auto overlaps = overlapping(ranges);
  if (overlaps.empty()) return {};

  std::vector<bool> untrusted(def.columns.size(), false);
  for (const auto& [range, other] : overlaps) untrusted[range.column] = true;
  // The others keep their places; the untrusted ones follow them in turn.
  std::size_t free_from = 0;
  for (const FixedRange& range : ranges) {
    if (!untrusted[range.column]) free_from = std::max(free_from, range.end);
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
  std::vector<bool> removed(def.columns.size(), false);
  for (const auto& [range, other] : by_size) {
    ColumnDef& column = def.columns[range.column];
    std::string description = column_label(column) + " shares bytes of the row with " +
                              column_label(def.columns[other.column]) +
                              " by the table's definition, so its values cannot be trusted; ";
    const std::size_t size = range.end - range.start;
    if (free_from + size > limit) {
      removed[range.column] = true;
      description += "no place is left for it in a row, and the column was dropped";
    } else {
      column.fixed_offset = static_cast<std::uint16_t>(free_from);
      free_from += size;
      description += column.is_autonumber() && column.type == ColumnType::Long ? "they were numbered afresh"
                                                                                : "they were left empty";
    }
    log.record(SalvageCode::ColumnValuesDropped, table, description);
  }

  std::vector<std::uint16_t> numbers;
  std::vector<ColumnDef> kept;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    if (removed[i]) continue;
    if (untrusted[i]) numbers.push_back(def.columns[i].number);
    kept.push_back(std::move(def.columns[i]));
  }
  def.columns = std::move(kept);
  std::sort(numbers.begin(), numbers.end());
  return numbers;
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
