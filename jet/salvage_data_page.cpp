#include "jet/salvage_data_page.h"

#include <algorithm>

namespace jet {

namespace {

constexpr std::uint16_t kOffsetMask = 0x1FFF;
constexpr std::uint16_t kDeletedFlag = 0x8000;
constexpr std::uint16_t kOverflowFlag = 0x4000;
constexpr std::size_t kMostRowsPerPage = 255;

std::size_t header_size(Version version) { return version == Version::Jet3 ? 10 : 14; }
std::size_t row_count_offset(Version version) { return version == Version::Jet3 ? 8 : 12; }

// The row count of a page whose count field is damaged. The free-space field
// usually survives and pins it down: with n rows, the space between the
// offset table and the lowest row is exactly the free space. Failing that,
// the rows are the leading slots that can be row starts, each below the one
// before as Jet packs them.
std::size_t recount_rows(Bytes page, std::size_t header, std::size_t fits) {
  const std::size_t size = page.size();
  const std::size_t free_space = load_u16(page.data() + 2);
  auto start_of = [&](std::size_t i) -> std::size_t { return load_u16(page.data() + header + 2 * i) & kOffsetMask; };
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

}  // namespace

RecoveredDataPage recover_data_page(Bytes page, Version version) {
  RecoveredDataPage result;
  const std::size_t size = page.size();
  const std::size_t header = header_size(version);
  result.owner = load_u32(page.data() + 4);

  // The offset table may not run into the smallest row start it holds, and a
  // page holds at most 255 rows.
  std::size_t count = load_u16(page.data() + row_count_offset(version));
  std::size_t fits = std::min(kMostRowsPerPage, (size - header) / 2);
  auto raw_slot = [&](std::size_t i) { return load_u16(page.data() + header + 2 * i); };
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
      std::size_t start = raw_slot(i) & kOffsetMask;
      if (start >= table_end && start < size) lowest = std::min(lowest, start);
    }
    if (count > 0 && header + 2 * count > lowest) {
      count = (lowest - header) / 2;
      result.offsets_rebuilt = true;
      shrunk = true;
    }
  }

  struct Start {
    std::size_t offset;
    std::uint8_t number;
  };
  std::vector<Start> starts;
  std::vector<std::size_t> live_starts;
  const std::size_t table_end = header + 2 * count;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t start = raw_slot(i) & kOffsetMask;
    // Two live rows cannot start at one offset: the later slot is damaged.
    if (!(raw_slot(i) & kDeletedFlag)) {
      if (std::find(live_starts.begin(), live_starts.end(), start) != live_starts.end()) {
        result.lost_slots.push_back(static_cast<std::uint8_t>(i));
        result.offsets_rebuilt = true;
        continue;
      }
      live_starts.push_back(start);
    }
    if (start < table_end || start >= size) {
      // Access leaves deleted rows with an empty offset (the page end); only
      // a live row without a usable offset is a loss.
      if (raw_slot(i) & kDeletedFlag) continue;
      result.lost_slots.push_back(static_cast<std::uint8_t>(i));
      result.offsets_rebuilt = true;
      continue;
    }
    starts.push_back({start, static_cast<std::uint8_t>(i)});
  }

  // Bound each row by the next higher distinct start (the page end for the
  // highest). In a sound page that is the previous-numbered row's start;
  // several deleted rows may share one start.
  std::vector<std::size_t> ordered;
  for (const auto& s : starts) ordered.push_back(s.offset);
  std::sort(ordered.begin(), ordered.end());
  ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
  for (const auto& s : starts) {
    auto next = std::upper_bound(ordered.begin(), ordered.end(), s.offset);
    std::size_t end = next == ordered.end() ? size : *next;
    std::uint16_t raw = raw_slot(s.number);
    RecoveredRow row;
    row.number = s.number;
    row.deleted = raw & kDeletedFlag;
    row.overflow = raw & kOverflowFlag;
    row.bytes = page.subspan(s.offset, end - s.offset);
    result.rows.push_back(row);
  }
  return result;
}

const RecoveredRow* find_row(const RecoveredDataPage& page, std::uint8_t number) {
  for (const auto& row : page.rows) {
    if (row.number == number) return &row;
  }
  return nullptr;
}

}  // namespace jet
