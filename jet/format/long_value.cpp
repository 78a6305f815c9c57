#include "jet/format/long_value.h"

#include <algorithm>
#include <set>
#include <string>

namespace jet {

namespace {

constexpr std::uint32_t kLengthMask = 0x3FFFFFFF;
constexpr std::uint32_t kKindMask = 0xC0000000;

std::string where(RowPointer p) {
  return "row " + std::to_string(p.row) + " of page " + std::to_string(p.page);
}

// The field's decoder; its errors name the structure without the column.
LongValueField decode_field(Bytes stored, std::uint32_t page) {
  ByteReader r(stored, page, "long value");
  std::uint32_t word = r.u32(0, "length");
  LongValueField f;
  f.length = word & kLengthMask;
  std::uint8_t kind = static_cast<std::uint8_t>((word & kKindMask) >> 24);
  f.first = RowPointer::from_u32(r.u32(4, "row pointer"));
  f.unknown = r.u32(8, "unknown");
  switch (kind) {
    case 0x80:
      f.kind = LongValueKind::Inline;
      f.inline_data = r.bytes(kLongValueFieldSize, f.length, "inline data");
      break;
    case 0x40: f.kind = LongValueKind::SingleRow; break;
    case 0x00: f.kind = LongValueKind::Chain; break;
    default: r.fail("length", "both kind bits are set (" + std::to_string(kind) + ")");
  }
  if (f.kind != LongValueKind::Inline && f.length > 0 && f.first.is_null()) {
    r.fail("row pointer", "a long value of " + std::to_string(f.length) +
                              " bytes stored elsewhere points nowhere");
  }
  return f;
}

}  // namespace

LongValueField decode_long_value_field(Bytes stored, std::uint32_t page, std::string_view column) {
  // A walk decodes a field for every long value of every row: the column's
  // name goes into the structure only once an error is raised.
  try {
    return decode_field(stored, page);
  } catch (const Error& error) {
    Location location = error.where();
    location.structure = "long value of column " + std::string(column);
    throw Error(error.code(), std::move(location), error.message());
  }
}

std::vector<std::uint8_t> encode_long_value_field(const LongValueField& f) {
  if (f.length > kMaxLongValueLength) {
    throw Error(ErrorCode::LimitExceeded, "a long value holds at most 1 GiB");
  }
  if (f.kind == LongValueKind::Inline && f.inline_data.size() != f.length) {
    throw Error(ErrorCode::InvalidArgument, "inline long value length disagrees with its data");
  }
  std::vector<std::uint8_t> out(kLongValueFieldSize, 0);
  store_long_value_field(out.data(), f);
  if (f.kind == LongValueKind::Inline) {
    out.insert(out.end(), f.inline_data.begin(), f.inline_data.end());
  }
  return out;
}

void store_long_value_field(std::uint8_t* out, const LongValueField& f) {
  store_u32(out, f.length | (static_cast<std::uint32_t>(f.kind) << 24));
  store_row_pointer(out + 4, f.first);
  store_u32(out + 8, f.unknown);
}

std::vector<std::uint8_t> encode_chain_row(RowPointer next, Bytes piece) {
  std::vector<std::uint8_t> out(4);
  store_row_pointer(out.data(), next);
  out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

ChainRow decode_chain_row(Bytes row, std::uint32_t page) {
  ByteReader r(row, page, "long value chain row");
  return ChainRow{RowPointer::from_u32(r.u32(0, "next row pointer")), row.subspan(4)};
}

void walk_long_value(const LongValueField& field, const LongValueRowView& fetch, std::uint32_t page,
                     std::string_view column, std::size_t max_rows, const LongValuePieceSink& take) {
  const auto fail = [&](const std::string& field_name, const std::string& what) {
    throw_corrupt(page, "long value of column " + std::string(column), field_name, what);
  };
  switch (field.kind) {
    case LongValueKind::Inline:
      take(field.inline_data);
      return;
    case LongValueKind::SingleRow: {
      if (field.length == 0) return;
      const Bytes row = fetch(field.first);
      if (row.size() < field.length) {
        fail("length", "says " + std::to_string(field.length) + " bytes, but " + where(field.first) + " holds " +
                           std::to_string(row.size()));
      }
      take(row.first(field.length));
      return;
    }
    case LongValueKind::Chain: break;
  }

  std::size_t taken = 0;
  std::set<RowPointer> visited;
  RowPointer at = field.first;
  while (!at.is_null()) {
    if (!visited.insert(at).second) fail("row pointer", "the chain loops back to " + where(at));
    if (visited.size() > max_rows) fail("row pointer", "the chain is longer than the file");
    const ChainRow link = decode_chain_row(fetch(at), at.page);
    if (taken + link.piece.size() > field.length) {
      fail("length", "says " + std::to_string(field.length) + " bytes, but the chain holds more by " + where(at));
    }
    take(link.piece);
    taken += link.piece.size();
    at = link.next;
  }
  if (taken != field.length) {
    fail("length", "says " + std::to_string(field.length) + " bytes, but the chain holds " + std::to_string(taken));
  }
}

void read_long_value_into(const LongValueField& field, const LongValueRowView& fetch, std::uint32_t page,
                          std::string_view column, std::size_t max_rows, std::vector<std::uint8_t>& out) {
  out.clear();
  walk_long_value(field, fetch, page, column, max_rows,
                  [&](Bytes piece) { out.insert(out.end(), piece.begin(), piece.end()); });
}

std::vector<std::uint8_t> read_long_value(const LongValueField& field, const LongValueRowFetcher& fetch,
                                          std::uint32_t page, std::string_view column, std::size_t max_rows) {
  std::vector<std::uint8_t> row;  // the row lent last
  const LongValueRowView view = [&](RowPointer at) -> Bytes {
    row = fetch(at);
    return row;
  };
  std::vector<std::uint8_t> data;
  read_long_value_into(field, view, page, column, max_rows, data);
  return data;
}

}  // namespace jet
