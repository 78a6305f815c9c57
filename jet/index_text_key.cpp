// Layout of a text key.
//
// General legacy (Jet 4):
//   in-line codes of every character (case folded, accents stripped)
//   01
//   extra codes, one byte per character up to the last accented one: 02 for
//     a plain character, the accent code for an accented one (omitted
//     entirely when no character has one)
//   when the text has unprintable characters: 01 01 01, then per such
//     character a big-endian 16-bit 0x8000 | (7 + 4 * position) (position
//     counts the extra-code bytes before it), 06 and its code
//   descending: one more 00, then everything so far complemented
//   00
//
// General of Access 97 (Jet 3):
//   in-line codes of every character
//   extra codes as 4-bit values, started and ended by a 0 nibble, or a single
//     00 byte when no character has one: an accented character's code, with
//     a 2 before it for each letter that has accented forms (a Significant
//     one) since the accent before; other characters take no place
//   descending: everything complemented
#include "jet/index_text_key.h"

#include <cstdio>
#include <string>

#include "jet/error.h"
#include "jet/index_text_codes.h"

namespace jet {

namespace {

constexpr std::size_t kMaxIndexedChars = 255;
constexpr std::uint8_t kEndText = 0x01;
constexpr std::uint8_t kEndExtraText = 0x00;
constexpr std::uint8_t kPlainPlaceholder = 0x02;
constexpr std::uint8_t kUnprintableMidfix = 0x06;

[[noreturn]] void unknown_char(char16_t c, const char* order) {
  char code[8];
  std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(c));
  throw Error(ErrorCode::Unsupported, Location{std::nullopt, "index key", "text"},
              std::string("the ") + order + " sort code of U+" + code + " is not known");
}

// What is indexed: at most 255 characters, trailing spaces dropped.
std::u16string_view indexed_part(std::u16string_view text) {
  text = text.substr(0, kMaxIndexedChars);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

void complement_from(std::vector<std::uint8_t>& out, std::size_t start) {
  for (std::size_t i = start; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

// Keys are built for every row of a table: the in-line codes go straight
// into `out`, and the extra and unprintable parts, which most text lacks,
// are appended by further passes over the text only when it has them, so
// no part goes through a buffer of its own.
void append_general_legacy(std::vector<std::uint8_t>& out, std::u16string_view text, bool ascending) {
  static_assert(sizeof(TextCode::bytes) == 2, "in-line codes fit two bytes a character");
  const std::size_t start = out.size();
  out.resize(start + 2 * text.size());
  std::uint8_t* in_line = out.data() + start;
  bool international = false;
  bool unprintable = false;
  for (char16_t c : text) {
    if (c > 0xFF) unknown_char(c, "General legacy");
    const TextCode& code = kGeneralLegacyCodes[c];
    switch (code.kind) {
      case TextCodeKind::Ignored: break;
      case TextCodeKind::International:
        international = true;
        [[fallthrough]];
      case TextCodeKind::Simple:
      case TextCodeKind::Significant:
        in_line[0] = code.bytes[0];
        in_line[1] = code.bytes[1];
        in_line += code.size;
        break;
      case TextCodeKind::Unprintable: unprintable = true; break;
    }
  }
  out.resize(static_cast<std::size_t>(in_line - out.data()));
  out.push_back(kEndText);

  // Extra codes: a placeholder for each plain character before the last
  // accented one. `position` counts the characters with in-line codes.
  if (international) {
    const std::size_t extra = out.size();
    std::size_t position = 0;
    for (char16_t c : text) {
      const TextCode& code = kGeneralLegacyCodes[c];
      if (code.kind == TextCodeKind::International) {
        out.resize(extra + position, kPlainPlaceholder);
        out.push_back(code.extra);
      }
      if (code.kind == TextCodeKind::Simple || code.kind == TextCodeKind::International) ++position;
    }
    // Trailing placeholders say nothing.
    while (out.size() > extra && out.back() <= kPlainPlaceholder) out.pop_back();
  }

  if (unprintable) {
    out.insert(out.end(), {kEndText, kEndText, kEndText});
    std::size_t position = 0;
    for (char16_t c : text) {
      const TextCode& code = kGeneralLegacyCodes[c];
      if (code.kind == TextCodeKind::Unprintable) {
        // Its position is the number of characters with in-line codes
        // before it.
        const std::uint16_t marker = static_cast<std::uint16_t>(0x8000 | (7 + 4 * position));
        out.insert(out.end(), {static_cast<std::uint8_t>(marker >> 8), static_cast<std::uint8_t>(marker),
                               kUnprintableMidfix, code.bytes[0]});
      } else if (code.kind != TextCodeKind::Ignored) {
        ++position;
      }
    }
  }
  if (!ascending) {
    out.push_back(kEndExtraText);
    complement_from(out, start);
  }
  out.push_back(kEndExtraText);
}

const TextCode& general97_code(char16_t c) {
  if (c <= 0xFF) return kGeneral97Codes[c];
  for (const TextCodeMapping& m : kGeneral97Mappings) {
    if (m.from == c) return kGeneral97Codes[m.to];
  }
  return kGeneral97Codes[0];  // ignored: Jet 3 text cannot hold it anyway
}

void append_general97(std::vector<std::uint8_t>& out, std::u16string_view text, bool ascending) {
  const std::size_t start = out.size();
  std::vector<std::uint8_t> nibbles;
  std::size_t significant = 0;  // letters with accented forms since the last accent
  for (char16_t c : text) {
    const TextCode& code = general97_code(c);
    out.insert(out.end(), code.bytes, code.bytes + code.size);
    if (code.kind == TextCodeKind::Significant) ++significant;
    if (code.kind != TextCodeKind::International) continue;
    if (nibbles.empty()) nibbles.push_back(0);
    nibbles.insert(nibbles.end(), significant, kPlainPlaceholder);
    nibbles.push_back(code.extra);
    significant = 0;
  }
  if (nibbles.empty()) {
    out.push_back(kEndExtraText);
  } else {
    nibbles.push_back(0);
    for (std::size_t i = 0; i < nibbles.size(); i += 2) {
      const std::uint8_t low = i + 1 < nibbles.size() ? nibbles[i + 1] : 0;
      out.push_back(static_cast<std::uint8_t>((nibbles[i] << 4) | low));
    }
  }
  if (!ascending) complement_from(out, start);
}

}  // namespace

void append_text_key(std::vector<std::uint8_t>& out, std::u16string_view text, TextSortOrder order, bool ascending) {
  text = indexed_part(text);
  switch (order) {
    case TextSortOrder::GeneralLegacy: return append_general_legacy(out, text, ascending);
    case TextSortOrder::General97: return append_general97(out, text, ascending);
    case TextSortOrder::Unknown: break;
  }
  throw Error(ErrorCode::Unsupported, Location{std::nullopt, "index key", "sort order"},
              "text keys in this column's sort order are not known");
}

}  // namespace jet
