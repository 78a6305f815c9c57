// Column values: one Value type for every Jet column type, the decoders and
// encoders of their stored bytes, and the canonical text of each.
//
// Stored forms (all little-endian):
//   Boolean      no bytes: the row's null bitmap bit is the value
//   Byte         1 byte, unsigned
//   Integer      2 bytes, signed
//   Long         4 bytes, signed
//   Currency     8 bytes, signed, in units of 1/10000
//   Single       4-byte IEEE float
//   Double       8-byte IEEE double
//   Date/Time    8-byte double: days since 1899-12-30; the fraction's
//                absolute value is the time of day, so -1.25 is
//                1899-12-29 06:00
//   GUID         16 bytes: Data1 (4, LE), Data2 (2, LE), Data3 (2, LE), 8 bytes
//   Decimal      17 bytes: sign byte (0x80 negative), then a 128-bit
//                magnitude as four 32-bit little-endian words, most
//                significant word first; the column's scale places the point
//   Binary, OLE  the bytes themselves
//   Text, Memo   Jet 4: UTF-16LE, possibly compressed (jet/base/text.h);
//                Jet 3: the database's code page
// Memo and OLE values live in long-value storage (jet/format/long_value.h); here
// they are their assembled content.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

struct Currency {
  std::int64_t units = 0;  // 1/10000
  bool operator==(const Currency&) const = default;
};

struct DateTime {
  double days = 0;
  bool operator==(const DateTime&) const = default;
};

struct Guid {
  std::array<std::uint8_t, 16> bytes{};
  bool operator==(const Guid&) const = default;
};

struct Decimal {
  bool negative = false;
  std::uint8_t scale = 0;
  unsigned __int128 magnitude = 0;
  bool operator==(const Decimal&) const = default;
};

// The value of one column of one row. `type` is the column's type; `data`
// holds the alternative that type uses, or monostate for null:
//   Boolean bool, Byte uint8_t, Integer int16_t, Long int32_t, Currency,
//   Single float, Double double, DateTime, Text and Memo std::string (UTF-8),
//   Binary and OLE (and unknown types) std::vector<uint8_t>, Guid, Decimal.
struct Value {
  using Data = std::variant<std::monostate, bool, std::uint8_t, std::int16_t, std::int32_t,
                            Currency, float, double, DateTime, std::string,
                            std::vector<std::uint8_t>, Guid, Decimal>;

  ColumnType type = ColumnType::Long;
  Data data;

  static Value null(ColumnType type) { return Value{type, std::monostate{}}; }
  bool is_null() const { return std::holds_alternative<std::monostate>(data); }
  bool operator==(const Value&) const = default;
};

// How a table stores its values: what decoding and encoding need beyond the
// column type.
struct ValueFormat {
  Version version = Version::Jet4;
  std::uint16_t code_page = 1252;  // Jet 3 text
  std::uint8_t scale = 0;          // Decimal
  bool compress_text = false;      // Jet 4 text columns flagged compressed
};

// Bytes a fixed-length type occupies in a row (0 for Boolean); 0 as well for
// the variable-length types.
std::size_t fixed_size(ColumnType type);
bool is_variable_length(ColumnType type);
bool is_long_value(ColumnType type);

// Decodes stored bytes (for Memo and OLE: the assembled long value). Raises
// Corrupt naming `page` and the column when the size is wrong for the type.
Value decode_value(ColumnType type, Bytes stored, const ValueFormat& format,
                   std::uint32_t page = 0, std::string_view column = {});

// Raises what decode_value would raise for `stored_size` stored bytes,
// without building the value: its outcome depends on nothing else.
void check_stored_value(ColumnType type, std::size_t stored_size, const ValueFormat& format,
                        std::uint32_t page = 0, std::string_view column = {});

// Encodes a non-null value that is not Boolean. Raises InvalidArgument when
// the value's alternative does not match its type.
std::vector<std::uint8_t> encode_value(const Value& value, const ValueFormat& format);

// Canonical text: Boolean "true"/"false", null "null", numbers in shortest
// exact decimal form, Currency and Decimal as exact decimal text without
// trailing zeros, Date/Time as ISO 8601 ("1999-12-31T23:59:59", with ".mmm"
// when there are milliseconds), Binary and OLE as upper-case hex, GUID as
// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, Text and Memo as themselves.
std::string canonical_text(const Value& value);

// Pieces of the canonical forms, for callers that build them from numbers.
std::string iso_datetime(double days);
std::string hex_text(Bytes bytes);
std::string currency_text(std::int64_t units);
std::string decimal_text(const Decimal& value);
std::string guid_text(const Guid& guid);

}  // namespace jet
