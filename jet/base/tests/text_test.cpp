#include "jet/base/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace jet {
namespace {

using ByteVector = std::vector<std::uint8_t>;

struct CompressionCase {
  const char* name;
  std::string text;
  ByteVector stored;  // what encode_jet4_text(text, true) writes
};

class Jet4Compression : public ::testing::TestWithParam<CompressionCase> {};

TEST_P(Jet4Compression, EncodesAsAccessDoesAndDecodesBack) {
  const auto& c = GetParam();
  EXPECT_EQ(encode_jet4_text(c.text, true), c.stored);
  EXPECT_EQ(decode_jet4_text(c.stored), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Jet4Compression,
    ::testing::Values(
        CompressionCase{"ascii", "abc", {0xFF, 0xFE, 'a', 'b', 'c'}},
        CompressionCase{"latin1", "é", {0xE9, 0x00}},  // 3 bytes compressed is not shorter than 2
        CompressionCase{"latin1_run", "café au lait", {0xFF, 0xFE, 'c', 'a', 'f', 0xE9, ' ', 'a', 'u', ' ', 'l', 'a', 'i', 't'}},
        // A run of two-byte characters in the middle, switched in and out by 00.
        CompressionCase{"mixed_runs", "abc\u0416\u0436def",
                        {0xFF, 0xFE, 'a', 'b', 'c', 0x00, 0x16, 0x04, 0x36, 0x04, 0x00, 'd', 'e', 'f'}},
        // Compression that saves nothing is not used.
        CompressionCase{"no_gain", "a\u0416", {'a', 0x00, 0x16, 0x04}},
        // U+0100 has a zero low byte, which would read as a switch: stays plain.
        CompressionCase{"zero_low_byte", "aaaa\u0100", {'a', 0, 'a', 0, 'a', 0, 'a', 0, 0x00, 0x01}},
        CompressionCase{"empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Jet4Text, DecodesPlainUtf16AndSurrogatePairs) {
  ByteVector stored{0x3D, 0xD8, 0x00, 0xDE, 'x', 0};  // U+1F600 then 'x'
  EXPECT_EQ(decode_jet4_text(stored), "\U0001F600x");
  EXPECT_EQ(encode_jet4_text("\U0001F600x", false), stored);
  EXPECT_EQ(encode_jet4_text("\U0001F600x", true), stored);
}

TEST(Jet4Text, DamagedTextStillDecodes) {
  // An unpaired surrogate, an odd trailing byte, a cut two-byte run.
  EXPECT_EQ(decode_jet4_text(ByteVector{0x00, 0xD8, 'a', 0}), "\uFFFDa");
  EXPECT_EQ(decode_jet4_text(ByteVector{'a', 0, 'b'}), "a");
  EXPECT_EQ(decode_jet4_text(ByteVector{0xFF, 0xFE, 'a', 0x00, 0x41}), "a");
}

struct DecodeCase {
  const char* name;
  ByteVector stored;
  std::string text;
};

class Jet4Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Jet4Decoding, GivesTheText) { EXPECT_EQ(decode_jet4_text(GetParam().stored), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Jet4Decoding,
    ::testing::Values(
        // Plain UTF-16LE.
        DecodeCase{"ascii_then_wide", {'a', 0, 'b', 0, 0x16, 0x04, 'c', 0}, "ab\u0416c"},
        DecodeCase{"nul_unit_is_a_character", {'a', 0, 0, 0, 'b', 0}, std::string("a\0b", 3)},
        DecodeCase{"latin1_unit", {0xE9, 0, 'x', 0}, "\u00E9x"},
        DecodeCase{"pair_after_ascii", {'a', 0, 0x3D, 0xD8, 0x00, 0xDE}, "a\U0001F600"},
        DecodeCase{"lone_low", {0x00, 0xDC, 'a', 0}, "\uFFFDa"},
        DecodeCase{"high_at_end", {'a', 0, 0x3D, 0xD8}, "a\uFFFD"},
        DecodeCase{"high_then_high_then_low", {0x3D, 0xD8, 0x3D, 0xD8, 0x00, 0xDE}, "\uFFFD\U0001F600"},
        DecodeCase{"high_then_ascii", {0x3D, 0xD8, 'a', 0}, "\uFFFDa"},
        DecodeCase{"low_then_high", {0x00, 0xDE, 0x3D, 0xD8}, "\uFFFD\uFFFD"},
        DecodeCase{"odd_length_after_pair", {0x3D, 0xD8, 0x00, 0xDE, 'z'}, "\U0001F600"},
        DecodeCase{"one_byte", {'a'}, ""},
        // Compressed: one-byte runs hold 01-FF, 00 switches.
        DecodeCase{"compressed_latin1", {0xFF, 0xFE, 'a', 0xE9, 0xFF, 'b'}, "a\u00E9\u00FFb"},
        DecodeCase{"compressed_only_marker", {0xFF, 0xFE}, ""},
        // A unit with a zero low byte reads as a switch, so these pairs use
        // U+1F601 (D83D DE01).
        DecodeCase{"compressed_pair_in_wide_run",
                   {0xFF, 0xFE, 'a', 0x00, 0x3D, 0xD8, 0x01, 0xDE, 0x00, 'b'}, "a\U0001F601b"},
        // A pair split by an empty one-byte run still pairs: the units meet.
        DecodeCase{"compressed_pair_across_empty_run",
                   {0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x00, 0x00, 0x01, 0xDE}, "\U0001F601"},
        DecodeCase{"compressed_high_before_narrow_run",
                   {0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x00, 'a'}, "\uFFFDa"},
        DecodeCase{"compressed_high_at_end", {0xFF, 0xFE, 0x00, 0x3D, 0xD8}, "\uFFFD"},
        DecodeCase{"compressed_toggles_back_and_forth",
                   {0xFF, 0xFE, 'a', 0x00, 0x16, 0x04, 0x00, 'b', 0x00, 0x00, 'c'}, "a\u0416bc"},
        DecodeCase{"compressed_cut_wide_run_after_pair",
                   {0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x01, 0xDE, 0x41}, "\U0001F601"}),
    [](const auto& info) { return std::string(info.param.name); });

// The straightforward decoding: expand compressed text to UTF-16LE, then
// convert unit by unit. The real decoders take shortcuts; they must agree.
std::string reference_utf16_to_utf8(const ByteVector& utf16) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    units.push_back(static_cast<char16_t>(utf16[i] | (utf16[i + 1] << 8)));
  }
  std::string out;
  auto put = [&](std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t u = units[i];
    bool high = u >= 0xD800 && u <= 0xDBFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      put(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else {
      put(u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
  }
  return out;
}

std::string reference_jet4_text(const ByteVector& stored) {
  if (stored.size() < 2 || stored[0] != 0xFF || stored[1] != 0xFE) {
    return reference_utf16_to_utf8(stored);
  }
  ByteVector utf16;
  bool narrow = true;
  for (std::size_t i = 2; i < stored.size();) {
    if (stored[i] == 0) {
      narrow = !narrow;
      ++i;
    } else if (narrow) {
      utf16.push_back(stored[i++]);
      utf16.push_back(0);
    } else if (i + 1 < stored.size()) {
      utf16.push_back(stored[i]);
      utf16.push_back(stored[i + 1]);
      i += 2;
    } else {
      break;
    }
  }
  return reference_utf16_to_utf8(utf16);
}

TEST(Jet4Text, AgreesWithTheStraightforwardDecodingOnAnyBytes) {
  // Bytes drawn mostly from what text holds (ASCII, 00 switches, surrogate
  // high bytes), so runs, toggles and pairs all occur.
  constexpr std::uint8_t kAlphabet[] = {'a', 'Z', ' ', 0x00, 0x00, 0x7F, 0x80, 0xE9, 0xFF,
                                        0xD8, 0xDB, 0xDC, 0xDF, 0x04, 0x3D, 0x01};
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    ByteVector stored(random() % 24);
    for (auto& byte : stored) byte = kAlphabet[random() % sizeof kAlphabet];
    if (round % 2 == 0 && stored.size() >= 2) stored[0] = 0xFF, stored[1] = 0xFE;
    ASSERT_EQ(decode_jet4_text(stored), reference_jet4_text(stored)) << "round " << round;
    ASSERT_EQ(utf16le_to_utf8(stored), reference_utf16_to_utf8(stored)) << "round " << round;
    // The code units, as UTF-16LE, read as the same text.
    std::u16string units;
    decode_jet4_text_utf16(stored, units);
    ByteVector le;
    for (char16_t unit : units) {
      le.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      le.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    ASSERT_EQ(utf16le_to_utf8(le), decode_jet4_text(stored)) << "round " << round;
  }
}

TEST(Utf8, MalformedInputIsRefused) {
  for (std::string bad : {std::string("\xC3"), std::string("\xC0\x80"), std::string("\xED\xA0\x80"),
                          std::string("\xFF"), std::string("a\x80")}) {
    EXPECT_THROW(utf8_to_utf16le(bad), Error) << bad;
  }
}

struct CodePageCase {
  std::uint16_t code_page;
  std::string text;
  ByteVector stored;
};

class CodePages : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePages, ConvertBothWays) {
  const auto& c = GetParam();
  EXPECT_EQ(utf8_to_codepage(c.text, c.code_page), c.stored);
  EXPECT_EQ(codepage_to_utf8(c.stored, c.code_page), c.text);
}

INSTANTIATE_TEST_SUITE_P(Cases, CodePages,
                         ::testing::Values(CodePageCase{1252, "Größe €5", {'G', 'r', 0xF6, 0xDF, 'e', ' ', 0x80, '5'}},
                                           CodePageCase{0, "é", {0xE9}},
                                           CodePageCase{1251, "Да", {0xC4, 0xE0}},
                                           CodePageCase{1252, "a\u0081\u008D\u008F\u0090\u009D", {'a', 0x81, 0x8D, 0x8F, 0x90, 0x9D}},
                                           CodePageCase{1253, "\uF8F9", {0xAA}},
                                           CodePageCase{932, "日本\u0080\uF8F0x", {0x93, 0xFA, 0x96, 0x7B, 0x80, 0xA0, 'x'}},
                                           CodePageCase{1252, "", {}}));

struct FitCase {
  const char* text;
  const char* in_1252;  // fit_to_code_page(text, 1252)
  const char* as_utf8;  // as_valid_utf8(text)
};

class FitText : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitText, ReplacesWhatCannotBeWrittenWithAQuestionMark) {
  const FitCase& c = GetParam();
  EXPECT_EQ(fit_to_code_page(c.text, 1252), c.in_1252);
  EXPECT_EQ(as_valid_utf8(c.text), c.as_utf8);
  EXPECT_NO_THROW(utf8_to_codepage(fit_to_code_page(c.text, 1252), 1252));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitText,
    ::testing::Values(FitCase{"Größe €5", "Größe €5", "Größe €5"},
                      FitCase{"a\uFFFDb", "a?b", "a\uFFFDb"},       // what a cut-off character decodes to
                      FitCase{"Ж and Ω", "? and ?", "Ж and Ω"},        // letters 1252 lacks
                      FitCase{"cut \xC3", "cut ?", "cut ?"},          // a character cut short
                      FitCase{"\x80\xBF-\xF0\x9F", "?" "?-?" "?", "?" "?-?" "?"},  // stray continuation bytes, a cut lead
                      FitCase{"", "", ""}));

// Windows gives every byte of a single-byte code page a character, so a
// Jet 3 text read and written again keeps every byte.
TEST(CodePages, EveryByteOfASingleByteCodePageRoundTrips) {
  ByteVector all(256);
  for (int b = 0; b < 256; ++b) all[b] = static_cast<std::uint8_t>(b);
  for (std::uint16_t code_page : {0, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
    SCOPED_TRACE(code_page);
    const std::string text = codepage_to_utf8(all, code_page);
    EXPECT_EQ(text.find("\uFFFD"), std::string::npos);
    EXPECT_EQ(utf8_to_codepage(text, code_page), all);
  }
}

// A double-byte code page: every character of every lead byte converts back
// to its own bytes, save those with two codes, which Windows too writes with
// one of them (code page 932 has some 400: IBM's extensions are also among
// NEC's).
TEST(CodePages, EveryCharacterOfADoubleByteCodePageRoundTrips) {
  for (std::uint16_t code_page : {932, 936, 949, 950}) {
    SCOPED_TRACE(code_page);
    std::size_t characters = 0;
    std::size_t elsewhere = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
      for (int trail = -1; trail <= 0xFF; ++trail) {
        ByteVector stored{static_cast<std::uint8_t>(lead)};
        if (trail >= 0) stored.push_back(static_cast<std::uint8_t>(trail));
        const std::string text = codepage_to_utf8(stored, code_page);
        if (text.find("\uFFFD") != std::string::npos || utf8_to_utf16le(text).size() != 2) continue;
        ++characters;
        const ByteVector again = utf8_to_codepage(text, code_page);
        if (again != stored) {
          ++elsewhere;
          EXPECT_EQ(codepage_to_utf8(again, code_page), text);
        }
      }
    }
    EXPECT_GT(characters, 7000u);
    EXPECT_LT(elsewhere, characters / 15);
  }
}

TEST(CodePages, TextTheCodePageCannotHoldIsRefused) {
  EXPECT_THROW(utf8_to_codepage("Ж", 1252), Error);
  EXPECT_THROW(utf8_to_codepage("\uFFFD", 932), Error);
  EXPECT_EQ(codepage_to_utf8(ByteVector{'a', 0x82}, 932), "a\uFFFD");  // cut inside a character
}

}  // namespace
}  // namespace jet
