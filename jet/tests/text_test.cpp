#include "jet/text.h"

#include <gtest/gtest.h>

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
                                           CodePageCase{1252, "", {}}));

TEST(CodePages, UndefinedBytesBecomeReplacementAndUnmappableTextIsRefused) {
  EXPECT_EQ(codepage_to_utf8(ByteVector{'a', 0x81, 'b'}, 1252), "a\uFFFDb");
  EXPECT_THROW(utf8_to_codepage("Ж", 1252), Error);
}

}  // namespace
}  // namespace jet
