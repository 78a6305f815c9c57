// Salvaging the rows of one table.
//
// The table's pages come from its owned-pages usage map where the map can be
// read and only names pages of the file; otherwise from the page directory
// (the data pages that name the table as their owner and are not free).
// Every live row of those pages is proved against the definition; an
// overflow slot is followed to the row it points to. The losses go to the
// log: rows that do not decode, slots whose offsets cannot be right, pages
// that are no longer data pages of the table, and, from the definition's
// row count, rows that could not be found at all.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/format/row_pointer.h"
#include "jet/format/table_def.h"
#include "jet/salvage/salvage_log.h"
#include "jet/salvage/salvage_pages.h"
#include "jet/salvage/salvage_row.h"

namespace jet {

struct TableContext {
  const SalvagePages& pages;
  const TableDef& def;
  std::string name;
  std::uint16_t code_page = 1252;
  std::span<const std::uint16_t> untrusted_columns = {};  // see SalvagedTable
};

// The pages whose rows belong to the table; records in log when the usage
// map had to be rebuilt from the page directory.
std::vector<std::uint32_t> salvage_table_pages(const TableContext& table, SalvageLog& log);

struct SalvagedRows {
  // The slots of the rows that survive, in page and row order.
  std::vector<RowPointer> slots;
  // Rows cut short by a damaged neighbour's offset that proved up to a later
  // bound: their end within the page.
  std::map<RowPointer, std::uint16_t> ends;
};

// Proves every row on the table's pages, returning the rows that survive and
// logging the rest.
SalvagedRows salvage_table_rows(const TableContext& table, SalvageLog& log);

// Decodes the row at slot again (up to end, when salvage_table_rows found
// it there); nothing when it no longer proves (the file changed underneath,
// which the caller treats as an error).
std::optional<ProvedRow> read_salvaged_row(const TableContext& table, RowPointer slot,
                                           std::optional<std::uint16_t> end = std::nullopt);

}  // namespace jet
