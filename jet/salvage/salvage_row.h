// Proving a recovered row against its table's definition.
//
// A row is kept only when every column decodes: its layout fits its bytes,
// its column count is one the table can have had, every fixed value lies in
// the fixed area, every variable value between its offsets, and every value
// decodes as its type. Long values are the exception that salvage makes:
// their row can be sound while the long-value pages they point into are not,
// and then the value is kept as far as its storage is sound.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/long_value.h"
#include "jet/format/table_def.h"
#include "jet/format/value.h"

namespace jet {

struct ProvedRow {
  std::vector<Value> values;       // one per def.columns, in that order
  std::vector<std::string> cuts;   // one line per long value kept only in part
};

struct RowContext {
  const TableDef& def;
  std::uint16_t code_page = 1252;  // Jet 3 text
  const LongValueRowFetcher& fetch_long_value_row;
  std::size_t max_chain_rows = 0;  // bounds a long-value chain walk
  // Column numbers (ascending) whose stored values are not read: they give
  // null whatever the row holds.
  std::span<const std::uint16_t> unread_columns = {};
};

// Decodes row (stored on page) completely, or raises Corrupt saying which
// column failed.
ProvedRow prove_row(Bytes row, std::uint32_t page, const RowContext& context);

}  // namespace jet
