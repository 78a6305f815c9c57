// The key a row has in one of its table's real indexes, from the row's
// values: what a writer puts in a new index and what a verifier compares an
// index entry with.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "jet/format/format.h"
#include "jet/format/index_key.h"
#include "jet/format/table_def.h"
#include "jet/format/value.h"

namespace jet {

// The key columns of a real index, in key order, with each text column's
// sort order. Raises Corrupt when the index names a column the table lacks.
std::vector<KeyColumn> index_key_columns(Version v, const TableDef& table, const RealIndexDef& index);

// Gives the value of one of the row's columns (Memo assembled; Boolean as a
// bool; null as a null Value).
using ColumnValueSource = std::function<Value(const ColumnDef& column)>;

// Appends one key column of a row, its flag and value, from the column's
// value (Memo assembled; Boolean as a bool; null as a null Value). Raises as
// append_key_column does.
void append_row_key_column(std::vector<std::uint8_t>& out, Version v, const ColumnDef& def, const KeyColumn& column,
                           const Value& value);

// The row's key in the index. Raises Unsupported when a text value cannot be
// encoded in its column's sort order (see index_key.h): such an index is
// kept read-only.
std::vector<std::uint8_t> index_key_of_row(Version v, const TableDef& table, const RealIndexDef& index,
                                           const ColumnValueSource& value_of);

}  // namespace jet
