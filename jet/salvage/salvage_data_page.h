// Recovering the rows of a data page whose row-offset table may be damaged.
//
// The strict decoder (jet/format/data_page.h) takes each row to end where the
// previous-numbered row starts and refuses a page whose offsets disagree.
// Salvage instead keeps every offset that can be a row start (inside the
// page, past the offset table) and bounds each row by the next higher start
// among them, which is what the page layout guarantees (rows never overlap
// and are packed towards the end), whatever the order of the row numbers. A
// row count that would run the offset table into the rows is cut to the
// slots that fit. Rows whose offsets cannot be right are reported lost; rows
// whose bounds are only plausible are proved later by decoding them against
// their table's definition. A damaged offset can fall inside another row and
// cut it short; such a row can still be proved up to a later bound
// (other_bounds), which the caller tries when the row's own bound fails.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

struct RecoveredRow {
  std::uint8_t number = 0;  // slot number on the page
  bool deleted = false;
  bool overflow = false;    // the row holds a 4-byte pointer to where it lives now
  bool in_order = false;    // its start keeps the slot order of a sound page
  // The previous slot, whose start is where this row ends in a sound page,
  // lost its offset or holds one out of order: the row's end is a guess.
  bool end_unknown = false;
  Bytes bytes;              // a view into the page
};

struct RecoveredDataPage {
  Bytes page;  // the whole page the rows are views into
  std::uint32_t owner = 0;
  // Every slot with a usable offset, deleted ones included (overflow targets
  // are stored as deleted rows and are reached through their pointers).
  std::vector<RecoveredRow> rows;
  // Slots whose offsets could not be a row start: lost rows, not deleted ones.
  std::vector<std::uint8_t> lost_slots;
  // True when the row count or any offset had to be overridden.
  bool offsets_rebuilt = false;
  // Some row start breaks the slot order: a sign of a damaged offset.
  bool starts_out_of_order = false;
  // Every distinct usable row start, ascending.
  std::vector<std::size_t> starts;
};

// The page must be a data page (type 0x01) of the format's page size.
RecoveredDataPage recover_data_page(Bytes page, Version version);

// The other ends a row could have: every higher row start but its own end,
// then the page end, nearest first.
std::vector<std::size_t> other_bounds(const RecoveredDataPage& page, const RecoveredRow& row);

// Where a row starts within its page.
std::size_t row_start(const RecoveredDataPage& page, const RecoveredRow& row);

// One row of a recovered page by slot number, or nullptr.
const RecoveredRow* find_row(const RecoveredDataPage& page, std::uint8_t number);

}  // namespace jet
