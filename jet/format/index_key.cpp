#include "jet/format/index_key.h"

#include <algorithm>
#include <array>
#include <string>

#include "jet/base/error.h"
#include "jet/format/index_text_key.h"

namespace jet {

namespace {

constexpr std::uint8_t kAscendingFlag = 0x7F;
constexpr std::uint8_t kAscendingNull = 0x00;
constexpr std::uint8_t kDescendingFlag = 0x80;
constexpr std::uint8_t kDescendingNull = 0xFF;

[[noreturn]] void bad_value(const KeyColumn& column, const std::string& what) {
  throw Error(ErrorCode::InvalidArgument, Location{std::nullopt, "index key", "column of type " +
                                                                                 std::to_string(static_cast<int>(column.type))},
              what);
}

std::size_t fixed_size(ColumnType type) {
  switch (type) {
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long:
    case ColumnType::Single: return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime: return 8;
    case ColumnType::Guid: return 16;
    case ColumnType::Numeric: return 17;
    default: return 0;
  }
}

void complement(std::span<std::uint8_t> bytes) {
  for (auto& b : bytes) b = static_cast<std::uint8_t>(~b);
}

// The stored little-endian value, most significant byte first, appended in
// place: keys are built for every row of a table, so no value goes through a
// buffer of its own. Returns the appended bytes.
std::span<std::uint8_t> append_big_endian(std::vector<std::uint8_t>& out, Bytes stored) {
  const std::size_t start = out.size();
  out.insert(out.end(), stored.rbegin(), stored.rend());
  return std::span(out).subspan(start);
}

void append_integer(std::vector<std::uint8_t>& out, Bytes stored) { append_big_endian(out, stored)[0] ^= 0x80; }

void append_floating(std::vector<std::uint8_t>& out, Bytes stored) {
  const std::span<std::uint8_t> v = append_big_endian(out, stored);
  if (v[0] & 0x80) {
    complement(v);
  } else {
    v[0] ^= 0x80;
  }
}

// Stored Decimal: sign byte (non-zero: negative), then the 128-bit magnitude
// as four 32-bit little-endian words, most significant word first.
void append_decimal(std::vector<std::uint8_t>& out, Bytes stored, bool ascending) {
  const bool negative = stored[0] != 0;
  out.push_back(negative ? 0x00 : 0xFF);
  for (std::size_t word = 0; word < 4; ++word) {
    const std::span<std::uint8_t> v = append_big_endian(out, stored.subspan(1 + word * 4, 4));
    if (negative == ascending) complement(v);
  }
}

// GUIDs sort in their text order: the first three fields big-endian.
std::array<std::uint8_t, 16> guid_bytes(Bytes stored) {
  std::array<std::uint8_t, 16> v;
  std::copy(stored.begin(), stored.end(), v.begin());
  std::reverse(v.begin(), v.begin() + 4);
  std::reverse(v.begin() + 4, v.begin() + 6);
  std::reverse(v.begin() + 6, v.begin() + 8);
  return v;
}

void append_binary(std::vector<std::uint8_t>& out, Bytes data, bool ascending) {
  std::size_t pos = 0;
  while (data.size() - pos > 8) {
    const std::size_t start = out.size();
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos), data.begin() + static_cast<std::ptrdiff_t>(pos + 8));
    if (!ascending) complement(std::span(out).subspan(start));
    out.push_back(0x09);  // more follows; never complemented
    pos += 8;
  }
  const std::size_t rest = data.size() - pos;
  if (rest == 0) return;
  const std::size_t start = out.size();
  out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(pos), data.end());
  out.resize(start + 8, 0);
  out.push_back(static_cast<std::uint8_t>(rest));
  if (!ascending) complement(std::span(out).subspan(start));
}

void append_value(std::vector<std::uint8_t>& out, const KeyColumn& column, const KeyValue& value) {
  if (column.type == ColumnType::Text || column.type == ColumnType::Memo) {
    const auto* text = std::get_if<std::u16string_view>(&value);
    if (!text) bad_value(column, "a text column needs text");
    append_text_key(out, *text, column.sort_order, column.ascending);
    return;
  }
  const auto* bytes = std::get_if<Bytes>(&value);
  if (!bytes) bad_value(column, "the column needs its stored bytes");
  if (column.type == ColumnType::Binary) {
    append_binary(out, *bytes, column.ascending);
    return;
  }
  const std::size_t size = fixed_size(column.type);
  if (size == 0) {
    throw Error(ErrorCode::Unsupported, Location{std::nullopt, "index key", "column type"},
                "columns of type " + std::to_string(static_cast<int>(column.type)) + " cannot be indexed");
  }
  if (bytes->size() != size) {
    bad_value(column, "the value is " + std::to_string(bytes->size()) + " bytes, not " + std::to_string(size));
  }
  const std::size_t start = out.size();
  switch (column.type) {
    case ColumnType::Byte: out.push_back((*bytes)[0]); break;
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Currency: append_integer(out, *bytes); break;
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime: append_floating(out, *bytes); break;
    case ColumnType::Guid: {
      const std::array<std::uint8_t, 16> guid = guid_bytes(*bytes);
      append_binary(out, guid, column.ascending);
      return;
    }
    case ColumnType::Numeric:
      // The sign handling already depends on the direction.
      append_decimal(out, *bytes, column.ascending);
      return;
    default: break;
  }
  if (!column.ascending) complement(std::span(out).subspan(start));
}

}  // namespace

TextSortOrder text_sort_order(Version v, std::uint16_t sort_order, std::uint8_t sort_order_version) {
  constexpr std::uint16_t kGeneral = 1033;
  if (sort_order == 0) return v == Version::Jet3 ? TextSortOrder::General97 : TextSortOrder::GeneralLegacy;
  if (sort_order != kGeneral) return TextSortOrder::Unknown;
  if (v == Version::Jet3) return TextSortOrder::General97;
  return sort_order_version == 0 ? TextSortOrder::GeneralLegacy : TextSortOrder::Unknown;
}

bool text_keys_supported(TextSortOrder order) { return order != TextSortOrder::Unknown; }

void append_key_column(std::vector<std::uint8_t>& out, const KeyColumn& column, const KeyValue& value) {
  if (column.type == ColumnType::Boolean) {
    // Jet keeps no null for Boolean: null reads and indexes as false.
    const auto* b = std::get_if<bool>(&value);
    if (!b && !std::holds_alternative<std::monostate>(value)) bad_value(column, "a Boolean column needs a bool");
    const bool truth = b && *b;
    out.push_back(column.ascending ? kAscendingFlag : kDescendingFlag);
    out.push_back(truth == column.ascending ? 0x00 : 0xFF);
    return;
  }
  if (std::holds_alternative<std::monostate>(value)) {
    out.push_back(column.ascending ? kAscendingNull : kDescendingNull);
    return;
  }
  const std::size_t flag_at = out.size();
  out.push_back(column.ascending ? kAscendingFlag : kDescendingFlag);
  try {
    append_value(out, column, value);
  } catch (...) {
    out.resize(flag_at);
    throw;
  }
}

std::vector<std::uint8_t> encode_index_key(std::span<const KeyColumn> columns, std::span<const KeyValue> values) {
  if (columns.size() != values.size()) {
    throw Error(ErrorCode::InvalidArgument, "an index key of " + std::to_string(columns.size()) + " columns got " +
                                                std::to_string(values.size()) + " values");
  }
  std::vector<std::uint8_t> key;
  for (std::size_t i = 0; i < columns.size(); ++i) append_key_column(key, columns[i], values[i]);
  return key;
}

}  // namespace jet
