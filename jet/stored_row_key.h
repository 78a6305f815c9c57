// The key a row has in one of its table's real indexes, read from the row as
// a data page stores it: what rebuilds an index whose own pages cannot be
// read from the rows it indexed.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/long_value.h"
#include "jet/row.h"
#include "jet/table_def.h"

namespace jet {

struct StoredRowSource {
  Version version = Version::Jet4;
  std::uint16_t code_page = 1252;  // the database's, for Jet 3 text columns that name none
  // Lends the rows of long-value pages, for Memo key columns; max_rows
  // bounds a chain's walk.
  LongValueRowView long_values;
  std::size_t max_rows = 0;
};

// The key of `row` (read from `page`) in `index`, or nothing when the index
// ignores nulls and every key column of the row is null, as the engine leaves
// such a row out. Raises Unsupported when a text value cannot be encoded in
// its column's sort order, Corrupt when the row does not decode.
std::optional<std::vector<std::uint8_t>> stored_row_key(const StoredRowSource& source, const TableDef& table,
                                                        const RealIndexDef& index, Bytes row, std::uint32_t page);

// The same for a row whose layout the caller decoded already: one decode
// then serves every index of the table.
std::optional<std::vector<std::uint8_t>> stored_row_key(const StoredRowSource& source, const TableDef& table,
                                                        const RealIndexDef& index, const RowLayout& layout,
                                                        Bytes row, std::uint32_t page);

}  // namespace jet
