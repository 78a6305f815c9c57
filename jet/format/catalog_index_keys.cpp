#include "jet/format/catalog_index_keys.h"

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "jet/base/error.h"
#include "jet/base/text.h"
#include "jet/format/index_text_codes.h"

namespace jet {

namespace {

constexpr std::uint8_t kAscendingFlag = 0x7F;
constexpr std::uint8_t kDescendingFlag = 0x80;
constexpr std::uint8_t kEndText = 0x01;           // General legacy: after the in-line codes
constexpr std::uint8_t kPlainPlaceholder = 0x02;  // an extra code saying "no accent" (General: a nibble)

// The character a sort code is read back as. Many characters share a code
// (a letter and its capital, several punctuation marks); the one taken is
// the first in this order: capitals, digits, the rest of ASCII, Latin-1,
// then the control ranges.
std::vector<char16_t> preferred_characters() {
  std::vector<char16_t> order;
  for (char16_t c = u'A'; c <= u'Z'; ++c) order.push_back(c);
  for (char16_t c = u'0'; c <= u'9'; ++c) order.push_back(c);
  for (char16_t c = 0x20; c < 0x7F; ++c) order.push_back(c);
  for (char16_t c = 0xA0; c <= 0xFF; ++c) order.push_back(c);
  for (char16_t c = 0x80; c < 0xA0; ++c) order.push_back(c);
  for (char16_t c = 0; c < 0x20; ++c) order.push_back(c);
  order.push_back(0x7F);
  return order;
}

// The codes of one sort order, inverted.
struct CodeInverse {
  // By in-line code: one byte b as b, two bytes b0 b1 as 0x10000 | b0 b1.
  std::map<std::uint32_t, char16_t> in_line_codes;
  std::map<std::pair<char16_t, std::uint8_t>, char16_t> accented;  // by (base character, extra code)

  static std::uint32_t code_key(const TextCode& code) {
    return code.size == 2 ? 0x10000u | (code.bytes[0] << 8) | code.bytes[1] : code.bytes[0];
  }

  explicit CodeInverse(const std::array<TextCode, 256>& table) {
    // A two-byte code that is two one-byte codes in a row (the code of ß
    // is that of "ss") is read as the two characters.
    for (std::uint8_t size : {1, 2}) {
      for (char16_t c : preferred_characters()) {
        const TextCode& code = table[c];
        // A letter with accented forms keys in line as any other.
        const bool in_line = code.kind == TextCodeKind::Simple || code.kind == TextCodeKind::Significant;
        if (!in_line || code.size != size) continue;
        if (size == 2 && in_line_codes.count(code.bytes[0]) && in_line_codes.count(code.bytes[1])) continue;
        in_line_codes.emplace(code_key(code), c);
      }
    }
    for (char16_t c : preferred_characters()) {
      const TextCode& code = table[c];
      if (code.kind != TextCodeKind::International) continue;
      const auto base = in_line_codes.find(code_key(code));
      if (base != in_line_codes.end()) accented.emplace(std::make_pair(base->second, code.extra[0]), c);
    }
  }

  // The character whose in-line code starts at body[i], longest code first;
  // advances i.
  std::optional<char16_t> next(Bytes body, std::size_t& i) const {
    if (i + 1 < body.size()) {
      const auto two = in_line_codes.find(0x10000u | (body[i] << 8) | body[i + 1]);
      if (two != in_line_codes.end()) {
        i += 2;
        return two->second;
      }
    }
    const auto one = in_line_codes.find(body[i]);
    if (one == in_line_codes.end()) return std::nullopt;
    ++i;
    return one->second;
  }

  std::optional<char16_t> with_accent(char16_t base, std::uint8_t extra) const {
    const auto it = accented.find({base, extra});
    if (it == accented.end()) return std::nullopt;
    return it->second;
  }
};

// Names are read back within Latin-1: the General legacy codes of its 256
// characters.
std::array<TextCode, 256> general_legacy_latin1() {
  std::array<TextCode, 256> table{};
  for (char16_t c = 0; c < table.size(); ++c) table[c] = general_legacy_code(c);
  return table;
}

const CodeInverse& inverse(TextSortOrder order) {
  static const CodeInverse general_legacy(general_legacy_latin1());
  static const CodeInverse general97(kGeneral97Codes);
  return order == TextSortOrder::GeneralLegacy ? general_legacy : general97;
}

// General legacy: in-line codes, 01, an extra code per character up to the
// last accented one, 00. Text with unprintable characters is not read back.
std::optional<std::u16string> read_general_legacy(Bytes body) {
  const CodeInverse& codes = inverse(TextSortOrder::GeneralLegacy);
  std::u16string text;
  std::size_t i = 0;
  while (i < body.size() && body[i] != kEndText) {
    const auto c = codes.next(body, i);
    if (!c) return std::nullopt;
    text.push_back(*c);
  }
  if (i++ >= body.size()) return std::nullopt;
  for (std::size_t position = 0; i < body.size() && body[i] > kEndText; ++i, ++position) {
    if (body[i] == kPlainPlaceholder) continue;
    if (position >= text.size()) return std::nullopt;
    const auto accented = codes.with_accent(text[position], body[i]);
    if (!accented) return std::nullopt;
    text[position] = *accented;
  }
  return text;
}

// General of Access 97: in-line codes, then 00, or the accents of the
// leading characters as 4-bit values between two 0 nibbles.
std::optional<std::u16string> read_general97(Bytes body) {
  const CodeInverse& codes = inverse(TextSortOrder::General97);
  std::u16string text;
  std::size_t i = 0;
  while (i < body.size()) {
    std::size_t at = i;
    const auto c = codes.next(body, at);
    if (!c) break;
    text.push_back(*c);
    i = at;
  }
  std::vector<std::uint8_t> nibbles;
  for (; i < body.size(); ++i) {
    nibbles.push_back(body[i] >> 4);
    nibbles.push_back(body[i] & 0x0F);
  }
  if (nibbles.empty() || nibbles[0] != 0) return std::nullopt;
  // Each letter that has accented forms takes the next nibble: a 2 when it
  // is plain, its accent's code when accented; the 0 that ends the extra
  // codes leaves the rest plain. Other characters take none.
  std::size_t n = 1;
  for (char16_t& c : text) {
    if (n >= nibbles.size() || nibbles[n] == 0) break;
    if (c > 0xFF || kGeneral97Codes[c].kind != TextCodeKind::Significant) continue;
    const std::uint8_t extra = nibbles[n++];
    if (extra == kPlainPlaceholder) continue;
    const auto accented = codes.with_accent(c, extra);
    if (!accented) return std::nullopt;
    c = *accented;
  }
  return text;
}

char16_t as_unicode(char16_t c, TextSortOrder order) {
  if (order != TextSortOrder::General97 || c < 0x80 || c >= 0xA0) return c;
  for (const TextCodeMapping& m : kGeneral97Mappings) {
    if (m.to == c) return m.from;
  }
  return c;
}

std::string to_utf8(const std::u16string& text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return utf16le_to_utf8(bytes);
}

}  // namespace

std::optional<std::int32_t> decode_long_key(Bytes key, std::size_t& at) {
  if (at + 5 > key.size() || (key[at] != kAscendingFlag && key[at] != kDescendingFlag)) return std::nullopt;
  const std::uint8_t mask = key[at] == kDescendingFlag ? 0xFF : 0x00;
  std::uint32_t value = 0;
  for (std::size_t i = 1; i <= 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(key[at + i] ^ mask);
  at += 5;
  return static_cast<std::int32_t>(value ^ 0x80000000u);
}

std::optional<std::string> decode_last_text_key(Bytes key, std::size_t at, TextSortOrder order) {
  if (order == TextSortOrder::Unknown || at >= key.size()) return std::nullopt;
  const bool ascending = key[at] == kAscendingFlag;
  if (!ascending && key[at] != kDescendingFlag) return std::nullopt;
  std::vector<std::uint8_t> body(key.begin() + static_cast<std::ptrdiff_t>(at) + 1, key.end());
  if (!ascending) {
    // General legacy complements all but its last byte, General all.
    const std::size_t kept = order == TextSortOrder::GeneralLegacy && !body.empty() ? 1 : 0;
    for (std::size_t i = 0; i + kept < body.size(); ++i) body[i] = static_cast<std::uint8_t>(~body[i]);
  }
  std::optional<std::u16string> text =
      order == TextSortOrder::GeneralLegacy ? read_general_legacy(body) : read_general97(body);
  if (!text) return std::nullopt;
  for (char16_t& c : *text) c = as_unicode(c, order);
  // Only text that keys to exactly these bytes is the text: this proves the
  // reading wherever codes could have been split another way.
  std::vector<std::uint8_t> again;
  try {
    append_key_column(again, KeyColumn{ColumnType::Text, ascending, order}, std::u16string_view(*text));
  } catch (const Error&) {
    return std::nullopt;  // characters no key of this sort order holds: not what the key was made from
  }
  if (again.size() != key.size() - at || !std::equal(again.begin(), again.end(), key.begin() + static_cast<std::ptrdiff_t>(at))) {
    return std::nullopt;
  }
  return to_utf8(*text);
}

}  // namespace jet
