#include "jet/salvage/salvage_data_page.h"

#include <algorithm>

#include "jet/format/data_page.h"

namespace jet {

namespace {

// The row count of a page whose count field is damaged. The free-space field
// usually survives and pins it down: with n rows, the space between the
// offset table and the lowest row is exactly the free space. Failing that,
// the rows are the leading slots that can be row starts, each below the one
// before as Jet packs them.
std::size_t recount_rows(Bytes page, std::size_t header, std::size_t fits) {
  const std::size_t size = page.size();
  const std::size_t free_space = load_u16(page.data() + kDataPageFreeSpaceOffset);
  auto start_of = [&](std::size_t i) -> std::size_t { return RowSlot{load_u16(page.data() + header + 2 * i)}.offset(); };
  std::size_t lowest = size;
  std::size_t by_free_space = 0;
  for (std::size_t n = 1; n <= fits; ++n) {
    std::size_t start = start_of(n - 1);
    if (start >= size) continue;
    lowest = std::min(lowest, start);
    if (lowest >= header + 2 * n && lowest - (header + 2 * n) == free_space) by_free_space = n;
  }
  if (by_free_space != 0) return by_free_space;
  std::size_t plausible = 0;
  std::size_t previous = size + 1;
  while (plausible < fits) {
    std::size_t start = start_of(plausible);
    if (start < header + 2 * (plausible + 1) || start >= size || start >= previous) break;
    previous = start;
    ++plausible;
  }
  return plausible;
}

struct Start {
  std::size_t offset;
  std::uint8_t number;
};

// Marks the longest run of starts (in slot order) whose offsets never rise.
std::vector<bool> longest_falling_run(const std::vector<Start>& starts) {
  // Patience sorting: tails[k] is the index of the start ending the best run
  // of length k + 1 found so far, the one with the highest offset.
  std::vector<std::size_t> tails;
  std::vector<std::size_t> before(starts.size(), starts.size());
  for (std::size_t i = 0; i < starts.size(); ++i) {
    auto at = std::upper_bound(tails.begin(), tails.end(), starts[i].offset,
                               [&](std::size_t offset, std::size_t tail) { return offset > starts[tail].offset; });
    if (at != tails.begin()) before[i] = *(at - 1);
    if (at == tails.end()) {
      tails.push_back(i);
    } else {
      *at = i;
    }
  }
  std::vector<bool> in_run(starts.size(), false);
  for (std::size_t i = tails.empty() ? starts.size() : tails.back(); i < starts.size(); i = before[i]) in_run[i] = true;
  return in_run;
}

}  // namespace

RecoveredDataPage recover_data_page(Bytes page, Version version) {
  RecoveredDataPage result;
  result.page = page;
  const std::size_t size = page.size();
  const std::size_t header = data_page_header_size(version);
  result.owner = load_u32(page.data() + kDataPageOwnerOffset);

  // The offset table may not run into the smallest row start it holds, and a
  // page holds at most 255 rows.
  std::size_t count = load_u16(page.data() + data_page_row_count_offset(version));
  std::size_t fits = std::min(kMaxRowsPerPage, (size - header) / 2);
  auto slot = [&](std::size_t i) { return RowSlot{load_u16(page.data() + header + 2 * i)}; };
  if (count > fits) {
    count = recount_rows(page, header, fits);
    result.offsets_rebuilt = true;
  }
  // Shrink the table until no slot it keeps points into the table itself.
  for (bool shrunk = true; shrunk;) {
    shrunk = false;
    std::size_t table_end = header + 2 * count;
    std::size_t lowest = size;
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t start = slot(i).offset();
      if (start >= table_end && start < size) lowest = std::min(lowest, start);
    }
    if (count > 0 && header + 2 * count > lowest) {
      count = (lowest - header) / 2;
      result.offsets_rebuilt = true;
      shrunk = true;
    }
  }

  std::vector<Start> starts;
  std::vector<std::size_t> live_starts;
  const std::size_t table_end = header + 2 * count;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t start = slot(i).offset();
    // Two live rows cannot start at one offset: the later slot is damaged.
    if (!slot(i).deleted()) {
      if (std::find(live_starts.begin(), live_starts.end(), start) != live_starts.end()) {
        result.lost_slots.push_back(static_cast<std::uint8_t>(i));
        result.offsets_rebuilt = true;
        continue;
      }
      live_starts.push_back(start);
    }
    if (start < table_end || start >= size) {
      // Access leaves deleted rows with an empty offset (the page end); only
      // a live row without a usable offset is a loss, or a deleted one whose
      // offset lies past the page, which no writer leaves.
      if (slot(i).deleted() && start <= size) continue;
      result.lost_slots.push_back(static_cast<std::uint8_t>(i));
      result.offsets_rebuilt = true;
      continue;
    }
    starts.push_back({start, static_cast<std::uint8_t>(i)});
  }

  // Access packs rows from the page end downwards in slot order, so a sound
  // page's starts fall as the slot numbers rise. The longest run of slots
  // that keeps that order is trusted; a damaged offset breaks it. A trusted
  // row ends at the next higher trusted start (in a sound page, the
  // previous-numbered row's), so a damaged offset that falls inside it
  // cannot cut it short; the others end at the next higher start of any.
  // Several deleted rows may share one start.
  std::vector<bool> in_order = longest_falling_run(starts);
  result.starts_out_of_order = std::find(in_order.begin(), in_order.end(), false) != in_order.end();
  std::vector<std::size_t> ordered, trusted;
  for (std::size_t i = 0; i < starts.size(); ++i) {
    ordered.push_back(starts[i].offset);
    if (in_order[i]) trusted.push_back(starts[i].offset);
  }
  for (auto* list : {&ordered, &trusted}) {
    std::sort(list->begin(), list->end());
    list->erase(std::unique(list->begin(), list->end()), list->end());
  }
  // Whether a slot's start is one a row can be bounded by: lost slots and
  // starts out of order are not; deleted rows left with the page end as
  // their offset have none and say nothing.
  auto slot_trusted = [&](std::size_t number) {
    if (std::find(result.lost_slots.begin(), result.lost_slots.end(), number) != result.lost_slots.end()) return false;
    for (std::size_t i = 0; i < starts.size(); ++i) {
      if (starts[i].number == number) return bool(in_order[i]);
    }
    return true;
  };
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const Start& s = starts[i];
    const auto& bounds = in_order[i] ? trusted : ordered;
    auto next = std::upper_bound(bounds.begin(), bounds.end(), s.offset);
    std::size_t end = next == bounds.end() ? size : *next;
    RecoveredRow row;
    row.number = s.number;
    row.deleted = slot(s.number).deleted();
    row.overflow = slot(s.number).overflow();
    row.in_order = in_order[i];
    row.end_unknown = s.number > 0 && !slot_trusted(s.number - 1);
    row.bytes = page.subspan(s.offset, end - s.offset);
    result.rows.push_back(row);
  }
  result.starts = std::move(ordered);
  return result;
}

std::size_t row_start(const RecoveredDataPage& page, const RecoveredRow& row) {
  return static_cast<std::size_t>(row.bytes.data() - page.page.data());
}

std::vector<std::size_t> other_bounds(const RecoveredDataPage& page, const RecoveredRow& row) {
  const std::size_t start = row_start(page, row);
  const std::size_t end = start + row.bytes.size();
  std::vector<std::size_t> bounds;
  for (auto at = std::upper_bound(page.starts.begin(), page.starts.end(), start); at != page.starts.end(); ++at) {
    if (*at != end) bounds.push_back(*at);
  }
  if (end != page.page.size()) bounds.push_back(page.page.size());
  return bounds;
}

const RecoveredRow* find_row(const RecoveredDataPage& page, std::uint8_t number) {
  for (const auto& row : page.rows) {
    if (row.number == number) return &row;
  }
  return nullptr;
}

}  // namespace jet
