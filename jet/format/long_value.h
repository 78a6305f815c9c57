// Long values: the storage of Memo and OLE columns.
//
// In the row a long value is a 12-byte field, followed by the data itself
// when the value is inline:
//
//   0x00  4  length in bits 0-29; bits 30-31 (byte 3) say where the data is:
//              0x80  inline: the data follows this field in the row
//              0x40  in one row of a long-value page
//              0x00  in a chain of rows on long-value pages
//   0x04  4  row pointer (1-byte row, 3-byte page) of the single row or of
//            the chain's first row; zero when inline
//   0x08  4  unknown, written as zero
//
// Long-value pages are data pages whose owner field reads "LVAL". A single
// row holds the data alone. Each chain row starts with a 4-byte row pointer
// to the next row (zero on the last), then a piece of the data; the pieces
// concatenate to exactly `length` bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/row_pointer.h"

namespace jet {

enum class LongValueKind : std::uint8_t { Inline = 0x80, SingleRow = 0x40, Chain = 0x00 };

constexpr std::size_t kLongValueFieldSize = 12;
constexpr std::uint32_t kMaxLongValueLength = 0x3FFFFFFF;

struct LongValueField {
  LongValueKind kind = LongValueKind::Inline;
  std::uint32_t length = 0;
  RowPointer first;
  std::uint32_t unknown = 0;
  Bytes inline_data;  // kind Inline: exactly `length` bytes, a view into the row

  bool operator==(const LongValueField& o) const {
    return kind == o.kind && length == o.length && first == o.first && unknown == o.unknown &&
           std::equal(inline_data.begin(), inline_data.end(), o.inline_data.begin(),
                      o.inline_data.end());
  }
};

// Decodes the field as stored in a row; page and column label errors.
LongValueField decode_long_value_field(Bytes stored, std::uint32_t page, std::string_view column);

// The field's bytes (with the inline data after it when kind is Inline).
std::vector<std::uint8_t> encode_long_value_field(const LongValueField& field);
// The field's first kLongValueFieldSize bytes (never the inline data) at
// `out`, for a field rewritten in place in its row.
void store_long_value_field(std::uint8_t* out, const LongValueField& field);

// Fetches the bytes of one row of a long-value page; raises a Corrupt error
// (naming the page) when the pointer leads nowhere sensible.
using LongValueRowFetcher = std::function<std::vector<std::uint8_t>(RowPointer)>;

// Assembles a long value. A chain that loops, a row shorter than its field
// says, or pieces that do not add up to the length raise Corrupt naming the
// row pointer and the column; `max_rows` bounds the walk.
std::vector<std::uint8_t> read_long_value(const LongValueField& field,
                                          const LongValueRowFetcher& fetch, std::uint32_t page,
                                          std::string_view column, std::size_t max_rows);

// The same for a reader that can lend each row in place: the view a
// LongValueRowView returns need only stay valid until its next call. The
// value replaces the contents of `out`, whose capacity is reused, so a caller
// that reads many values allocates only for the largest.
using LongValueRowView = std::function<Bytes(RowPointer)>;
void read_long_value_into(const LongValueField& field, const LongValueRowView& fetch, std::uint32_t page,
                          std::string_view column, std::size_t max_rows, std::vector<std::uint8_t>& out);

// Receives the pieces of a long value in order.
using LongValuePieceSink = std::function<void(Bytes piece)>;

// Walks a long value with every check read_long_value makes, handing each
// piece to `take` instead of assembling them; raises as read_long_value does.
void walk_long_value(const LongValueField& field, const LongValueRowView& fetch, std::uint32_t page,
                     std::string_view column, std::size_t max_rows, const LongValuePieceSink& take);

// One row of a chain: the pointer to the next row, then this row's piece.
std::vector<std::uint8_t> encode_chain_row(RowPointer next, Bytes piece);

struct ChainRow {
  RowPointer next;
  Bytes piece;
};
ChainRow decode_chain_row(Bytes row, std::uint32_t page);

}  // namespace jet
