// MSysCompactError: the table in which a compaction or repair lists what it
// dropped or changed, one row per loss.
//
//   ErrorCode         Long   the kind of loss (SalvageCode)
//   ErrorDescription  Memo   what was lost, where, and why
//   ErrorRecid        Long   the lost record's address in the damaged file
//                            (page * 256 + row), 0 when no row is concerned
//   ErrorTable        Text   the table the loss belongs to
#pragma once

#include <cstdint>
#include <string>

#include "jet/format/table_def.h"

namespace jet {

inline constexpr const char* kCompactErrorTableName = "MSysCompactError";

// One thing a compaction or repair dropped or changed: one row of the table.
struct CompactErrorEntry {
  std::int32_t code = 0;
  std::string description;
  std::int32_t record_id = 0;  // row number within the table, or 0
  std::string table;
};

// The table's definition for a database of the given format; the writer
// fills in pages, usage maps and the row count. code_page and sort_order are
// the database's own (Jet 3 text columns carry them).
TableDef compact_error_table_def(Version version, std::uint16_t code_page, std::uint16_t sort_order);

}  // namespace jet
