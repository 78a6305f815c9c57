// Which rows of a sound database survive a given damage, worked out from the
// undamaged file alone.
//
// A row is intact when every byte a careful reader needs to find and decode
// it lies outside the damaged ranges:
//   - its table's definition pages and its table's catalog row (slot, bytes
//     and the header of the catalog page holding it);
//   - the data page holding its slot: the page type, owner and row count
//     fields, its own 2-byte entry in the row-offset table and the one
//     before it (whose start is where the row ends) and its own bytes (for
//     an overflow row, the pointer's and the target row's);
//   - every long-value row its Memo and OLE values are stored in, with the
//     same page fields and slot entries.
// Nothing else counts: not the header page (whose fields can be recovered),
// the catalog's own definition (whose shape is fixed), usage maps (which
// the data pages' owner fields replace), index pages (which are rebuilt), the
// free space of a page or the other rows' row-offset entries.
//
// The rows are keyed by their table's definition page, so that a table that
// comes back under a recovered name still counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jet/format/table_def.h"
#include "jet/format/value.h"
#include "support/damage.h"

namespace jet::testing {

// [begin, end) in file offsets.
struct ByteRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// A row as comparable cells, "name=value" per column in column-number order.
using RowCells = std::vector<std::string>;
using RowTexts = std::multiset<RowCells>;

struct RowCensus {
  std::map<std::uint32_t, std::string> names;  // table name by definition page
  std::map<std::uint32_t, RowTexts> all;       // every live row of the sound file
  std::map<std::uint32_t, RowTexts> intact;    // the rows the damage leaves whole
};

// Counts every table but the catalog, system tables included.
RowCensus take_census(const Image& original, const std::vector<ByteRange>& damaged);

// values[i] is the value of columns[i], whatever their order.
RowCells row_cells(const std::vector<ColumnDef>& columns, const std::vector<Value>& values);
std::string row_text(const RowCells& cells);

}  // namespace jet::testing
