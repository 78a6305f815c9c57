#include "jet/format/value.h"

#include <gtest/gtest.h>

#include <limits>

namespace jet {
namespace {

struct TextCase {
  const char* name;
  Value value;
  std::string text;
};


Decimal dec(bool negative, std::uint8_t scale, unsigned __int128 magnitude) {
  return Decimal{negative, scale, magnitude};
}

TEST(CanonicalText, IsExact) {
  const TextCase cases[] = {
        TextCase{"null", Value::null(ColumnType::Text), "null"},
        TextCase{"true", {ColumnType::Boolean, true}, "true"},
        TextCase{"byte", {ColumnType::Byte, std::uint8_t{255}}, "255"},
        TextCase{"integer", {ColumnType::Integer, std::int16_t{-32768}}, "-32768"},
        TextCase{"currency_fraction", {ColumnType::Currency, Currency{123450}}, "12.345"},
        TextCase{"currency_whole", {ColumnType::Currency, Currency{-20000}}, "-2"},
        TextCase{"currency_tiny", {ColumnType::Currency, Currency{-1}}, "-0.0001"},
        TextCase{"currency_min", {ColumnType::Currency, Currency{std::numeric_limits<std::int64_t>::min()}},
                 "-922337203685477.5808"},
        TextCase{"single", {ColumnType::Single, 1.1f}, "1.1"},
        TextCase{"double", {ColumnType::Double, 0.1}, "0.1"},
        TextCase{"date_epoch", {ColumnType::DateTime, DateTime{0}}, "1899-12-30T00:00:00"},
        TextCase{"date_noon", {ColumnType::DateTime, DateTime{36526.5}}, "2000-01-01T12:00:00"},
        TextCase{"date_negative", {ColumnType::DateTime, DateTime{-1.25}}, "1899-12-29T06:00:00"},
        TextCase{"date_millis", {ColumnType::DateTime, DateTime{1.0 + 1.5 / 86400}}, "1899-12-31T00:00:01.500"},
        TextCase{"date_rounds_to_next_day", {ColumnType::DateTime, DateTime{1.9999999999}}, "1900-01-01T00:00:00"},
        TextCase{"date_leap_day", {ColumnType::DateTime, DateTime{36585}}, "2000-02-29T00:00:00"},
        TextCase{"date_year_100", {ColumnType::DateTime, DateTime{-657434}}, "0100-01-01T00:00:00"},
        TextCase{"binary", {ColumnType::Binary, std::vector<std::uint8_t>{0x00, 0xAB, 0x7F}}, "00AB7F"},
        TextCase{"guid", {ColumnType::Guid, Guid{{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99,
                                                 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}}},
                 "{00112233-4455-6677-8899-AABBCCDDEEFF}"},
        TextCase{"decimal_scaled", {ColumnType::Numeric, dec(true, 3, 12345)}, "-12.345"},
        TextCase{"decimal_small", {ColumnType::Numeric, dec(false, 5, 12)}, "0.00012"},
        TextCase{"decimal_trailing_zeros", {ColumnType::Numeric, dec(false, 4, 1500)}, "0.15"},
        TextCase{"decimal_negative_zero", {ColumnType::Numeric, dec(true, 2, 0)}, "0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(canonical_text(c.value), c.text);
  }
  // The largest magnitude Access allows: 28 digits.
  EXPECT_EQ(decimal_text(dec(false, 0, (static_cast<unsigned __int128>(1) << 96) - 1)),
            "79228162514264337593543950335");
}

struct RoundTripCase {
  const char* name;
  Value value;
  ValueFormat format;
  std::size_t stored_size;
};

const ValueFormat kJet4{Version::Jet4, 1252, 0, false};
const ValueFormat kJet4Compressed{Version::Jet4, 1252, 0, true};
const ValueFormat kJet3{Version::Jet3, 1252, 0, false};

TEST(ValueRoundTrip, DecodesWhatItEncodes) {
  const RoundTripCase cases[] = {
        RoundTripCase{"byte", {ColumnType::Byte, std::uint8_t{7}}, kJet4, 1},
        RoundTripCase{"integer", {ColumnType::Integer, std::int16_t{-2}}, kJet4, 2},
        RoundTripCase{"long", {ColumnType::Long, std::int32_t{-100000}}, kJet4, 4},
        RoundTripCase{"currency", {ColumnType::Currency, Currency{-123456789012345}}, kJet4, 8},
        RoundTripCase{"single", {ColumnType::Single, -3.5f}, kJet4, 4},
        RoundTripCase{"double", {ColumnType::Double, 1e300}, kJet4, 8},
        RoundTripCase{"date", {ColumnType::DateTime, DateTime{-1.25}}, kJet4, 8},
        RoundTripCase{"guid", {ColumnType::Guid, Guid{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}}}, kJet4, 16},
        RoundTripCase{"decimal", {ColumnType::Numeric, Decimal{true, 2, (static_cast<unsigned __int128>(0xDEADBEEF) << 64) | 0x1234}},
                      ValueFormat{Version::Jet4, 1252, 2, false}, 17},
        RoundTripCase{"text_jet4", {ColumnType::Text, std::string("héllo")}, kJet4, 10},
        RoundTripCase{"text_jet4_compressed", {ColumnType::Text, std::string("héllo")}, kJet4Compressed, 7},
        RoundTripCase{"memo_jet3", {ColumnType::Memo, std::string("Grüße")}, kJet3, 5},
        RoundTripCase{"ole", {ColumnType::Ole, std::vector<std::uint8_t>{1, 2, 3}}, kJet4, 3},
        RoundTripCase{"binary_empty", {ColumnType::Binary, std::vector<std::uint8_t>{}}, kJet4, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto stored = encode_value(c.value, c.format);
    EXPECT_EQ(stored.size(), c.stored_size);
    EXPECT_EQ(decode_value(c.value.type, stored, c.format), c.value);
  }
}

TEST(Value, DecimalWordsAreStoredMostSignificantFirst) {
  // Sign, then four little-endian words: 0, 0, 1, 2 -> 2^32 + 2.
  std::vector<std::uint8_t> stored{0x00, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
  Value v = decode_value(ColumnType::Numeric, stored, ValueFormat{Version::Jet4, 1252, 0, false});
  EXPECT_EQ(canonical_text(v), "4294967298");
}

TEST(Value, ShortStoredBytesAreCorruptNamingTheColumn) {
  std::vector<std::uint8_t> stored{1, 2, 3};
  try {
    decode_value(ColumnType::Long, stored, kJet4, 17, "Amount");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    EXPECT_EQ(e.where().page, 17u);
    EXPECT_NE(e.where().field.find("Amount"), std::string::npos);
  }
}

TEST(Value, EncodingAValueOfTheWrongKindIsRefused) {
  EXPECT_THROW(encode_value(Value{ColumnType::Long, std::string("x")}, kJet4), Error);
  EXPECT_THROW(encode_value(Value{ColumnType::Boolean, true}, kJet4), Error);
}

}  // namespace
}  // namespace jet
