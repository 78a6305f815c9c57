#include "jet/format/index_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jet/base/error.h"
#include "jet/format/index_text_codes.h"

namespace jet {
namespace {

std::string hex(const std::vector<std::uint8_t>& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (auto b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

template <typename T>
std::vector<std::uint8_t> stored(T value) {
  std::vector<std::uint8_t> bytes(sizeof(T));
  std::memcpy(bytes.data(), &value, sizeof(T));  // little-endian, as rows store it
  return bytes;
}

std::string key_hex(ColumnType type, bool ascending, const KeyValue& value,
                    TextSortOrder order = TextSortOrder::GeneralLegacy) {
  std::vector<std::uint8_t> out;
  append_key_column(out, KeyColumn{type, ascending, order}, value);
  return hex(out);
}

// Keys Access wrote in the sample databases, and values taken from the
// format's rules where the samples have none.
TEST(IndexKey, EncodesEachTypeAsJetDoes) {
  const auto long19 = stored<std::int32_t>(19);
  const auto long_neg = stored<std::int32_t>(-2);
  const auto short1 = stored<std::int16_t>(1);
  const auto money = stored<std::int64_t>(12345);  // 1.2345
  const auto dbl = stored<double>(1.0);
  const auto dbl_neg = stored<double>(-1.0);
  const auto sgl = stored<float>(-2.5f);
  const std::vector<std::uint8_t> byte7{7};
  const std::vector<std::uint8_t> guid{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                       0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  const std::vector<std::uint8_t> binary{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  std::vector<std::uint8_t> decimal(17, 0);
  decimal[4] = 0x01;  // most significant word 0x01000000 stored little-endian
  decimal[16] = 0x05;  // least significant word's top byte
  std::vector<std::uint8_t> decimal_neg = decimal;
  decimal_neg[0] = 0x80;

  struct Row {
    const char* name;
    ColumnType type;
    bool ascending;
    KeyValue value;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {"long ascending (Access)", ColumnType::Long, true, Bytes(long19), "7f80000013"},
      {"long descending (Access)", ColumnType::Long, false, Bytes(long19), "807fffffec"},
      {"negative long", ColumnType::Long, true, Bytes(long_neg), "7f7ffffffe"},
      {"integer", ColumnType::Integer, true, Bytes(short1), "7f8001"},
      {"currency", ColumnType::Currency, true, Bytes(money), "7f8000000000003039"},
      {"byte descending", ColumnType::Byte, false, Bytes(byte7), "80f8"},
      {"double", ColumnType::Double, true, Bytes(dbl), "7fbff0000000000000"},
      {"negative double", ColumnType::Double, true, Bytes(dbl_neg), "7f400fffffffffffff"},
      {"negative double descending", ColumnType::Double, false, Bytes(dbl_neg), "80bff0000000000000"},
      {"negative single", ColumnType::Single, true, Bytes(sgl), "7f3fdfffff"},
      {"date/time as double", ColumnType::DateTime, true, Bytes(dbl), "7fbff0000000000000"},
      {"boolean true", ColumnType::Boolean, true, true, "7f00"},
      {"boolean false descending", ColumnType::Boolean, false, false, "8000"},
      {"boolean null is false", ColumnType::Boolean, true, std::monostate{}, "7fff"},
      {"null ascending", ColumnType::Long, true, std::monostate{}, "00"},
      {"null descending", ColumnType::Text, false, std::monostate{}, "ff"},
      {"guid in text order", ColumnType::Guid, true, Bytes(guid), "7f0011223344556677098899aabbccddeeff08"},
      {"guid descending keeps 09", ColumnType::Guid, false, Bytes(guid),
       "80ffeeddccbbaa998809776655443322110" "0f7"},
      {"binary pads its last group", ColumnType::Binary, true, Bytes(binary), "7f" "0102030405060708" "09" "090a000000000000" "02"},
      {"decimal positive", ColumnType::Numeric, true, Bytes(decimal), "7f" "ff" "01000000" "00000000" "00000000" "05000000"},
      {"decimal negative", ColumnType::Numeric, true, Bytes(decimal_neg), "7f" "00" "feffffff" "ffffffff" "ffffffff" "faffffff"},
      {"decimal positive descending (Access's order)", ColumnType::Numeric, false, Bytes(decimal),
       "80" "ff" "feffffff" "ffffffff" "ffffffff" "faffffff"},
      {"text, General legacy (Access)", ColumnType::Text, true, std::u16string_view(u"Table1"), "7f6d4a4c5e51380100"},
      {"text ignores case and trailing spaces", ColumnType::Text, true, std::u16string_view(u"tABLE1  "),
       "7f6d4a4c5e51380100"},
      {"text descending", ColumnType::Text, false, std::u16string_view(u"A"), "80b5feff00"},
      {"accented text", ColumnType::Text, true, std::u16string_view(u"a\u00e9"), "7f4a5101020e00"},
      {"unprintable character", ColumnType::Text, true, std::u16string_view(u"a\u0001b"),
       "7f4a4c01" "010101" "800b0603" "00"},
      {"memo indexes like text", ColumnType::Memo, true, std::u16string_view(u""), "7f0100"},
      // Beyond Latin-1, from the General legacy list lines (U+ line):
      // Ω 03A9 S7923, α 03B1 S790C: two in-line bytes each.
      {"Greek", ColumnType::Text, true, std::u16string_view(u"\u03a9\u03b1"), "7f" "7923" "790c" "01" "00"},
      // 中 4E2D S9F3D, 文 6587 SB6F6.
      {"CJK", ColumnType::Text, true, std::u16string_view(u"\u4e2d\u6587"), "7f" "9f3d" "b6f6" "01" "00"},
      // Ж 0416 S7938: 79 38 01 00 complemented, then 00.
      {"Cyrillic descending", ColumnType::Text, false, std::u16string_view(u"\u0416"), "80" "86c7feff" "00"},
      // װ 05F0 S79997999 (two vavs): four in-line bytes.
      {"four-byte in-line code", ColumnType::Text, true, std::u16string_view(u"\u05f0"), "7f" "79997999" "01" "00"},
      // b 0062 S4C, ā 0101 I4A,17: a placeholder for b, then ā's 17.
      {"extended Latin accent after a plain letter", ColumnType::Text, true, std::u16string_view(u"b\u0101"),
       "7f" "4c4a" "01" "02" "17" "00"},
      // ǣ 01E3 I4A51,1717: its extra code is two bytes.
      {"two-byte extra code", ColumnType::Text, true, std::u16string_view(u"b\u01e3"),
       "7f" "4c4a51" "01" "02" "1717" "00"},
      // e 0065 S51, combining acute 0301 PC: the placeholder for e plus 0C
      // is 0E, so it keys as é 00E9 I51,0E.
      {"combining mark adds to the extra code before it", ColumnType::Text, true,
       std::u16string_view(u"e\u0301"), "7f" "51" "01" "0e" "00"},
      {"combining mark before any letter", ColumnType::Text, true, std::u16string_view(u"\u0301a"),
       "7f" "4a" "01" "0c" "00"},
      // ً 064B UA0: unprintable, after one character with in-line codes.
      {"unprintable beyond Latin-1", ColumnType::Text, true, std::u16string_view(u"a\u064bb"),
       "7f" "4a4c" "01" "010101" "800b" "06a0" "00"},
      // - 002D U82 after ǣ: its position counts the two extra code bytes,
      // 7 + 4 * 2 = 0F.
      {"unprintable after a two-byte extra code", ColumnType::Text, true, std::u16string_view(u"\u01e3-"),
       "7f" "4a51" "01" "1717" "010101" "800f" "0682" "00"},
      // After a combining mark's 0C written before any letter: position 0.
      {"unprintable after a leading combining mark", ColumnType::Text, true, std::u16string_view(u"\u0301-"),
       "7f" "01" "0c" "010101" "8007" "0682" "00"},
      // あ 3042 Z7F02,,: flag 3, dropped at the end; the suffix for one kana.
      {"kana", ColumnType::Text, true, std::u16string_view(u"\u3042"), "7f" "7f02" "01" "0101" "ff0280ff80" "00"},
      // ぁ 3041 Z7F02,,1: flag 2 in the first two bits after 10.
      {"small kana", ColumnType::Text, true, std::u16string_view(u"\u3041"),
       "7f" "7f02" "01" "0101" "a0" "ff0280ff80" "00"},
      // が 304C Z7F0A,3,: its extra code 03 too.
      {"kana with an extra code", ColumnType::Text, true, std::u16string_view(u"\u304c"),
       "7f" "7f0a" "01" "03" "0101" "ff0280ff80" "00"},
      // ぁあぁぁ: flags 2 3 2 2 as 10 10 11 10, 10 10 00 00.
      {"kana flags three to a byte", ColumnType::Text, true, std::u16string_view(u"\u3041\u3042\u3041\u3041"),
       "7f" "7f027f027f027f02" "01" "0101" "aea0" "ff0280ff80" "00"},
      // あいうえおかきく 3042 3044 3046 3048 304A 304B 304D 304F: eight
      // kana, two 80s on each side of the suffix.
      {"eight kana", ColumnType::Text, true,
       std::u16string_view(u"\u3042\u3044\u3046\u3048\u304a\u304b\u304d\u304f"),
       "7f" "7f027f037f047f057f067f0a7f0b7f0c" "01" "0101" "ff028080ff8080" "00"},
      // あ then -: FF between the kana part and the unprintable one.
      {"kana then unprintable", ColumnType::Text, true, std::u16string_view(u"\u3042-"),
       "7f" "7f02" "01" "0101" "ff0280ff80" "ff" "01" "800b0682" "00"},
      {"surrogate pair ignored", ColumnType::Text, true, std::u16string_view(u"a\U0001F600"), "7f" "4a" "01" "00"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(key_hex(r.type, r.ascending, r.value), r.expected) << r.name;
  }
}

// A General legacy text key composed part by part, straight from the layout
// (index_text_key.cpp), to hold the encoder's one-pass build against.
std::vector<std::uint8_t> general_legacy_by_parts(std::u16string_view text, bool ascending) {
  text = text.substr(0, 255);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  std::vector<std::uint8_t> in_line, extra, unprintable;
  std::size_t position = 0;
  for (char16_t c : text) {
    const TextCode code = general_legacy_code(c);
    if (code.kind == TextCodeKind::Ignored) continue;
    if (code.kind == TextCodeKind::Unprintable) {
      const unsigned marker = 0x8000 | (7 + 4 * position);
      unprintable.insert(unprintable.end(), {static_cast<std::uint8_t>(marker >> 8),
                                             static_cast<std::uint8_t>(marker & 0xFF), 0x06, code.bytes[0]});
      continue;
    }
    in_line.insert(in_line.end(), code.bytes, code.bytes + code.size);
    if (code.kind == TextCodeKind::International) {
      extra.resize(position, 0x02);
      extra.push_back(code.extra[0]);
    }
    ++position;
  }
  while (!extra.empty() && extra.back() <= 0x02) extra.pop_back();
  std::vector<std::uint8_t> key = in_line;
  key.push_back(0x01);
  key.insert(key.end(), extra.begin(), extra.end());
  if (!unprintable.empty()) {
    key.insert(key.end(), {0x01, 0x01, 0x01});
    key.insert(key.end(), unprintable.begin(), unprintable.end());
  }
  if (!ascending) {
    key.push_back(0x00);
    for (auto& b : key) b = static_cast<std::uint8_t>(~b);
  }
  key.push_back(0x00);
  return key;
}

// Every character of the table alone and among others, and seeded mixtures
// of plain, accented, unprintable and ignored characters.
TEST(IndexKey, GeneralLegacyTextKeysFollowTheirLayout) {
  std::vector<std::u16string> texts;
  for (char16_t c = 0; c <= 0xFF; ++c) {
    for (const std::u16string& around : {std::u16string(), std::u16string(u"ab"), std::u16string(u"\u00e9\u0001")}) {
      texts.push_back(std::u16string(1, c));
      texts.push_back(around + c + around);
      texts.push_back(c + around + c + u"  ");
    }
  }
  // Greek, Cyrillic, CJK and extended Latin letters with one-byte accents
  // take the same parts as Latin-1 ones.
  const std::u16string beyond = u"\u03a9\u03ac\u0416\u0419\u4e2d\u0101\u0108\u1e00\u2460";
  std::mt19937 random(7);
  for (int n = 0; n < 3000; ++n) {
    std::u16string text(random() % 24, u'\0');
    for (char16_t& c : text) {
      // Mostly ASCII letters, as real text is.
      const auto pick = random() % 8;
      c = pick < 2 ? static_cast<char16_t>(random() % 256)
          : pick == 2 ? beyond[random() % beyond.size()]
                      : static_cast<char16_t>(u'a' + random() % 26);
    }
    texts.push_back(text);
  }
  std::u16string long_text(300, u'a');
  long_text[100] = u'\u00e9';
  long_text[260] = u'\u00e9';  // past what is indexed
  long_text[200] = u'\u0002';
  texts.push_back(long_text);

  for (const std::u16string& text : texts) {
    for (bool ascending : {true, false}) {
      std::vector<std::uint8_t> key{0xAA};
      append_key_column(key, KeyColumn{ColumnType::Text, ascending, TextSortOrder::GeneralLegacy},
                        std::u16string_view(text));
      std::vector<std::uint8_t> expected{0xAA, static_cast<std::uint8_t>(ascending ? 0x7F : 0x80)};
      const std::vector<std::uint8_t> by_parts = general_legacy_by_parts(text, ascending);
      expected.insert(expected.end(), by_parts.begin(), by_parts.end());
      ASSERT_EQ(hex(key), hex(expected)) << "text of " << text.size() << " characters, first "
                                         << (text.empty() ? 0 : static_cast<int>(text[0]));
    }
  }
}

TEST(IndexKey, EncodesAccess97Text) {
  struct Row {
    std::u16string_view text;
    bool ascending;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {u"Table1", true, "7f7760616d665700"},  // as Access 97 wrote it
      {u"Table1", false, "80889f9e9299a8ff"},
      {u"\u00c0b", true, "7f606103" "00"},  // accent first: nibbles 0, 3, 0
      {u"\u20ac", true, "7f" "1000"},        // the euro sign sorts as code page byte 0x80
      {u"a\u00e9", true, "7f6066" "0240"},    // a letter with accented forms before an accent: a 2
      {u"b\u00e9", true, "7f6166" "0400"},    // one without: no place
      {u"e\u00e9b\u00e8", true, "7f66666166" "024300"},
      {u"\u0081", true, "7f" "1000"},        // what code page 1252 leaves undefined still sorts
  };
  for (const Row& r : rows) {
    EXPECT_EQ(key_hex(ColumnType::Text, r.ascending, r.text, TextSortOrder::General97), r.expected);
  }
}

TEST(IndexKey, RefusesTextItCannotEncodeRatherThanGuess) {
  struct Row {
    const char* name;
    std::u16string_view text;
    TextSortOrder order;
  };
  const std::vector<Row> rows = {
      {"unknown sort order", u"a", TextSortOrder::Unknown},
  };
  for (const Row& r : rows) {
    std::vector<std::uint8_t> out{0xAA};
    try {
      append_key_column(out, KeyColumn{ColumnType::Text, true, r.order}, r.text);
      ADD_FAILURE() << r.name << " encoded as " << hex(out);
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Unsupported) << r.name;
      EXPECT_EQ(out, std::vector<std::uint8_t>{0xAA}) << r.name << ": a refused column leaves nothing behind";
    }
  }
  EXPECT_FALSE(text_keys_supported(text_sort_order(Version::Jet4, 1033, 1)));
  EXPECT_FALSE(text_keys_supported(text_sort_order(Version::Jet4, 1049, 0)));
  EXPECT_EQ(text_sort_order(Version::Jet3, 1033, 0), TextSortOrder::General97);
  EXPECT_EQ(text_sort_order(Version::Jet4, 0, 0), TextSortOrder::GeneralLegacy);
}

TEST(IndexKey, RefusesValuesThatDoNotSuitTheColumn) {
  const std::vector<std::uint8_t> three(3, 0);
  std::vector<std::uint8_t> out;
  EXPECT_THROW(append_key_column(out, KeyColumn{ColumnType::Long, true}, Bytes(three)), Error);
  EXPECT_THROW(append_key_column(out, KeyColumn{ColumnType::Text, true}, Bytes(three)), Error);
  EXPECT_THROW(append_key_column(out, KeyColumn{ColumnType::Ole, true}, Bytes(three)), Error);
  EXPECT_TRUE(out.empty());
}

// Sorted values must give keys in unsigned byte order (reversed when
// descending): the property every index relies on.
TEST(IndexKey, KeysSortAsTheirValues) {
  auto check = [](ColumnType type, const std::vector<std::vector<std::uint8_t>>& sorted_values) {
    for (bool ascending : {true, false}) {
      for (std::size_t i = 1; i < sorted_values.size(); ++i) {
        std::vector<std::uint8_t> a, b;
        append_key_column(a, KeyColumn{type, ascending}, Bytes(sorted_values[i - 1]));
        append_key_column(b, KeyColumn{type, ascending}, Bytes(sorted_values[i]));
        EXPECT_EQ(ascending, a < b) << "type " << static_cast<int>(type) << " value " << i;
      }
    }
  };
  check(ColumnType::Long, {stored<std::int32_t>(INT32_MIN), stored<std::int32_t>(-5), stored<std::int32_t>(0),
                           stored<std::int32_t>(7), stored<std::int32_t>(INT32_MAX)});
  check(ColumnType::Currency, {stored<std::int64_t>(-100000), stored<std::int64_t>(-1), stored<std::int64_t>(3)});
  check(ColumnType::Double, {stored(-1e300), stored(-2.5), stored(-0.0001), stored(0.0), stored(1e-9), stored(42.0)});
  check(ColumnType::Single, {stored(-3.5f), stored(-1.0f), stored(0.5f), stored(2.0f)});
  check(ColumnType::Binary, {{1}, {1, 0}, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8, 0}, {2}});

  std::vector<std::u16string> texts = {u"", u"0", u"9", u"a", u"AB", u"ac", u"b", u"z"};
  for (std::size_t i = 1; i < texts.size(); ++i) {
    for (auto order : {TextSortOrder::GeneralLegacy, TextSortOrder::General97}) {
      std::vector<std::uint8_t> a, b;
      append_key_column(a, KeyColumn{ColumnType::Text, true, order}, std::u16string_view(texts[i - 1]));
      append_key_column(b, KeyColumn{ColumnType::Text, true, order}, std::u16string_view(texts[i]));
      EXPECT_LT(a, b) << static_cast<int>(order) << " " << i;
    }
  }
}

}  // namespace
}  // namespace jet
