// The per-character sort codes behind text index keys, as data.
//
// Jet writes a text key as a string of sort codes, one or more bytes per
// character, case folded, followed by the codes that tell accented or
// unprintable characters apart (see index_key.cpp). Which code a character
// gets is a fact of the format, not something to compute: the tables below
// are generated from published code lists by jet/gen/make_index_text_codes.py
// (source and licence in NOTICE). They cover U+0000-U+00FF; Jet 3 maps a few
// characters above that onto these 256, Jet 4's codes for the rest of
// Unicode are not part of this engine.
#pragma once

#include <array>
#include <cstdint>

namespace jet {

enum class TextCodeKind : std::uint8_t {
  Ignored,        // contributes nothing to the key
  Simple,         // in-line bytes only
  International,  // in-line bytes (its base letter) and one extra code (its accent)
  Unprintable,    // no in-line bytes; one code in the key's unprintable part
  Significant,    // Jet 3: in-line bytes only, but an accent after it marks its place
};

struct TextCode {
  TextCodeKind kind;
  std::uint8_t size;  // in-line bytes used (Unprintable: 1, the code)
  std::uint8_t bytes[2];
  std::uint8_t extra;  // International only (Jet 3: a 4-bit value)
};

struct TextCodeMapping {
  char16_t from;
  std::uint8_t to;  // the character among the first 256 it sorts as
};

// Jet 4, "General legacy" sort order.
extern const std::array<TextCode, 256> kGeneralLegacyCodes;
// Jet 3, "General" sort order of Access 97.
extern const std::array<TextCode, 256> kGeneral97Codes;
extern const std::array<TextCodeMapping, 27> kGeneral97Mappings;

}  // namespace jet
