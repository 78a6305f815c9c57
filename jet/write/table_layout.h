// Laying out a new table's definition from column and index declarations:
// column numbers in declaration order, fixed-length columns packed at
// increasing offsets, variable-length ones numbered in turn, stored lengths
// and flags as Access sets them, and one real index per logical index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/table_def.h"

namespace jet {

struct NewColumn {
  std::string name;
  ColumnType type = ColumnType::Long;
  // Text: characters (1 to 255); Binary: bytes (1 to 255); ignored otherwise.
  std::uint16_t size = 255;
  bool autonumber = false;  // Long only
  std::uint8_t precision = 18;  // Decimal only
  std::uint8_t scale = 0;       // Decimal only
};

struct NewIndexColumn {
  std::string column;
  bool ascending = true;
};

struct NewIndex {
  std::string name;
  std::vector<NewIndexColumn> columns;
  bool unique = false;
  bool primary = false;  // implies unique and required
  bool ignore_nulls = false;
};

// Raises InvalidArgument for an empty or repeated column name, a size out of
// range, an AutoNumber that is not Long, an index naming no column or more
// than ten, or a second primary key.
TableDef lay_out_table(Version version, std::uint16_t code_page, std::uint16_t sort_order,
                       const std::vector<NewColumn>& columns, const std::vector<NewIndex>& indexes);

}  // namespace jet
