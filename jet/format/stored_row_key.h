// The key a row has in one of its table's real indexes, read from the row as
// a data page stores it: what rebuilds an index whose own pages cannot be
// read from the rows it indexed, and what a verifier sets an index's entries
// against.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/index_key.h"
#include "jet/format/long_value.h"
#include "jet/format/row.h"
#include "jet/format/table_def.h"

namespace jet {

struct StoredRowSource {
  Version version = Version::Jet4;
  std::uint16_t code_page = 1252;  // the database's, for Jet 3 text columns that name none
  // Lends the rows of long-value pages, for Memo key columns; max_rows
  // bounds a chain's walk.
  LongValueRowView long_values;
  std::size_t max_rows = 0;
};

// The keys rows of one table have in its real indexes, read from the rows
// as data pages store them. A key is nothing when the index ignores nulls
// and every key column of the row is null, as the engine leaves such a row
// out. Raises Unsupported when a text value cannot be encoded in its
// column's sort order, Corrupt when the row does not decode.
//
// Made for walks over many rows: the key columns are looked up once, one
// decoded layout serves all the indexes, a key's buffer is reused from row
// to row, and fixed-size values and Jet 4 text go into the key straight from
// the row rather than through a decoded value.
class StoredRowKeys {
 public:
  StoredRowKeys(StoredRowSource source, const TableDef& table);

  // The row's key in the table's real index at `position` (in definition
  // order), its layout decoded already; the view stays valid until the next
  // call.
  std::optional<Bytes> key(std::size_t position, const RowLayout& layout, Bytes row, std::uint32_t page);
  // The same for a row whose layout is not decoded yet.
  std::optional<Bytes> key(std::size_t position, Bytes row, std::uint32_t page);

 private:
  struct IndexColumns {
    std::vector<const ColumnDef*> defs;
    std::vector<KeyColumn> keys;
    std::exception_ptr unusable;  // what index_key_columns raised, if anything
  };

  StoredRowSource source_;
  const TableDef& table_;
  std::vector<IndexColumns> indexes_;
  RowLayout layout_;
  std::vector<std::uint8_t> key_;
  std::vector<std::uint8_t> long_value_;
  std::u16string text_;
};

}  // namespace jet
