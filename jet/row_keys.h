// The index keys of a row, from its values: what an index rebuilt from the
// rows holds.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

class RowKeys {
 public:
  RowKeys(const TableDef& def, std::uint16_t database_code_page);

  // The key of values (one per def.columns) in index, or nothing when the
  // index ignores nulls and every key column is null. Raises Unsupported
  // when a text key cannot be encoded in the column's sort order.
  std::optional<std::vector<std::uint8_t>> key(const RealIndexDef& index, const std::vector<Value>& values) const;

 private:
  const TableDef& def_;
  std::uint16_t code_page_;
};

}  // namespace jet
