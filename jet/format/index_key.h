// Index keys: the bytes an index entry sorts by, encoded from a row's values.
//
// A key is the concatenation, per key column, of a flag byte and the encoded
// value:
//   7F  ascending, value follows        00  ascending, null (nothing follows)
//   80  descending, value follows       FF  descending, null
// A descending column's value bytes are the complement of the ascending ones,
// so that unsigned byte order of the keys is the index order.
//
// Values, ascending (big-endian unless said otherwise):
//   Byte                  the byte
//   Integer, Long,        two's complement with the sign bit flipped
//   Currency
//   Single, Double,       IEEE bits; positive: sign bit flipped, negative:
//   Date/Time             every bit flipped
//   Boolean               00 true, FF false; never null (null reads as false)
//   Decimal               sign byte FF positive / 00 negative, then the
//                         16-byte magnitude, complemented when negative. Jet 3
//                         and Jet 4 write descending Decimal keys the same way
//                         with the two signs' magnitudes swapped (an Access
//                         fault kept for compatibility).
//   GUID, Binary          in 8-byte groups, each followed by 09 when more
//                         follows, the last zero-padded and followed by its
//                         length; descending complements all but the 09s
//                         (GUIDs in their text order: first three fields
//                         big-endian)
//   Text, Memo            sort codes (index_text_codes.h), at most 255
//                         characters, trailing spaces dropped; see
//                         index_key.cpp for the layout of the two sort orders.
//
// Text keys depend on the column's sort order. This engine knows "General
// legacy" (Jet 4) for the whole Basic Multilingual Plane (surrogates are
// ignored) and "General" of Access 97 (Jet 3) for its code page; any other
// sort order raises Unsupported, so that an index it cannot encode is kept
// read-only rather than written with a guessed key.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

enum class TextSortOrder : std::uint8_t {
  General97,      // Jet 3 "General"
  GeneralLegacy,  // Jet 4 "General" (legacy), language 1033 version 0
  Unknown,        // any other: text keys cannot be encoded
};

// The sort order of a text column from its definition (ColumnDef::sort_order
// and sort_order_version). 0 means the format's default.
TextSortOrder text_sort_order(Version v, std::uint16_t sort_order, std::uint8_t sort_order_version);

// One key column: what the index definition and the column say.
struct KeyColumn {
  ColumnType type = ColumnType::Long;
  bool ascending = true;
  TextSortOrder sort_order = TextSortOrder::GeneralLegacy;  // text columns only
};

// A column value for the encoder:
//   monostate       null
//   bool            Boolean columns
//   Bytes           fixed-size columns: the value as stored in the row
//                   (little-endian; GUID as stored); Binary: the data
//   u16string_view  Text and Memo (Jet 3 text decoded from its code page)
using KeyValue = std::variant<std::monostate, bool, Bytes, std::u16string_view>;

// Appends one column's flag and value. Raises InvalidArgument when the value
// does not suit the type (wrong alternative or size), Unsupported when the
// column's type cannot be indexed or its text cannot be encoded.
void append_key_column(std::vector<std::uint8_t>& out, const KeyColumn& column, const KeyValue& value);

// The whole key of a row: columns and values pair up in order.
std::vector<std::uint8_t> encode_index_key(std::span<const KeyColumn> columns, std::span<const KeyValue> values);

// Whether text in this sort order can be encoded.
bool text_keys_supported(TextSortOrder order);

}  // namespace jet
