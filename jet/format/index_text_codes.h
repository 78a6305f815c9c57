// The per-character sort codes behind text index keys, as data.
//
// Jet writes a text key as a string of sort codes, one or more bytes per
// character, case folded, followed by the codes that tell accented,
// unprintable or kana characters apart (see index_text_key.cpp). Which code
// a character gets is a fact of the format, not something to compute: the
// tables below are generated from published code lists by
// jet/gen/make_index_text_codes.py (source and licence in NOTICE). Jet 4's
// cover the whole Basic Multilingual Plane; Jet 3's cover U+0000-U+00FF, and
// Jet 3 maps a few characters above that onto these 256.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace jet {

enum class TextCodeKind : std::uint8_t {
  Ignored,        // contributes nothing to the key
  Simple,         // in-line bytes only
  International,  // in-line bytes (its base letter) and an extra code (its accent)
  Unprintable,    // no in-line bytes; its code goes to the key's unprintable part
  Significant,    // Jet 3: in-line bytes only, but an accent after it marks its place
  Combining,      // Jet 4: no in-line bytes; its code is added to the extra code before it
  Kana,           // Jet 4: in-line bytes, maybe an extra code, and a flag in the kana part
};

struct TextCode {
  TextCodeKind kind;
  std::uint8_t size;  // bytes used of `bytes`
  std::uint8_t bytes[4];  // in-line bytes; Unprintable: its code; Combining: what it adds
  std::uint8_t extra_size;
  std::uint8_t extra[2];  // International and Kana (Jet 3: one 4-bit value)
  std::uint8_t kana_flag;  // Kana: 2 for a small one, 3 for any other
};

struct TextCodeMapping {
  char16_t from;
  std::uint8_t to;  // the character among the first 256 it sorts as
};

// Consecutive characters whose codes follow one pattern: the same kind,
// sizes, extra code and flag, and a code (read as a big-endian number) that
// grows by `step` from one character to the next.
struct TextCodeRun {
  char16_t first;
  TextCodeKind kind;
  std::uint8_t size;
  std::uint8_t step;
  std::uint8_t extra_size;
  std::uint8_t kana_flag;
  std::uint32_t code;  // of `first`
  std::uint16_t extra;
};

// Jet 4, "General legacy" sort order, U+0000-U+FFFF: the runs in order of
// their first character, and for each character the run that holds it.
extern const TextCodeRun kGeneralLegacyRuns[];
extern const std::array<std::uint16_t, 0x10000> kGeneralLegacyRunOfChar;

// Jet 3, "General" sort order of Access 97.
extern const std::array<TextCode, 256> kGeneral97Codes;
extern const std::array<TextCodeMapping, 27> kGeneral97Mappings;

template <std::size_t N>
constexpr std::array<std::uint16_t, 0x10000> run_of_each_char(const TextCodeRun (&runs)[N]) {
  static_assert(N <= 0x10000, "a run index fits 16 bits");
  std::array<std::uint16_t, 0x10000> run_of{};
  for (std::size_t r = 0; r < N; ++r) {
    const std::size_t end = r + 1 < N ? runs[r + 1].first : 0x10000;
    for (std::size_t c = runs[r].first; c < end; ++c) run_of[c] = static_cast<std::uint16_t>(r);
  }
  return run_of;
}

// The General legacy run that holds a character, in constant time.
inline const TextCodeRun& general_legacy_run(char16_t c) { return kGeneralLegacyRuns[kGeneralLegacyRunOfChar[c]]; }

// The code of character c of a run, a big-endian number of run.size bytes.
inline std::uint32_t code_in_run(const TextCodeRun& run, char16_t c) {
  return run.code + std::uint32_t{run.step} * static_cast<std::uint32_t>(c - run.first);
}

// The General legacy code of one character, spelled out.
inline TextCode general_legacy_code(char16_t c) {
  const TextCodeRun& run = general_legacy_run(c);
  TextCode code{run.kind, run.size, {}, run.extra_size, {}, run.kana_flag};
  const std::uint32_t value = code_in_run(run, c);
  for (int i = 0; i < run.size; ++i) code.bytes[i] = static_cast<std::uint8_t>(value >> (8 * (run.size - 1 - i)));
  for (int i = 0; i < run.extra_size; ++i) {
    code.extra[i] = static_cast<std::uint8_t>(run.extra >> (8 * (run.extra_size - 1 - i)));
  }
  return code;
}

}  // namespace jet
