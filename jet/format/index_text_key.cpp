// Layout of a text key.
//
// General legacy (Jet 4):
//   in-line codes of every character (case folded, accents stripped)
//   01
//   extra codes, up to the last one that is not a 02 or below: for each
//     character with in-line codes, 02 when it has no extra code, else its
//     one or two extra code bytes; a combining mark adds its code to the
//     byte written last (or, before any, writes it)
//   when the text has kana or unprintable characters: 01 01, then
//     when it has kana: per kana its flag (2 small, 3 other) as 2-bit
//       values, three to a byte after the bits 10, the 3s at the end
//       dropped; then FF 02, one 80 per seven kana, FF, one 80 per seven
//       kana; then FF when unprintable characters follow
//     when it has unprintable characters: 01, then per such character a
//       big-endian 16-bit 0x8000 | (7 + 4 * position), 06 and its code.
//       Its position is the number of characters with in-line codes before
//       it, except once extra codes have been written: then the extra code
//       bytes so far (a two-byte extra code counts twice, a combining
//       mark's code written before any character not at all) plus the
//       characters with in-line codes after the last one they stand for
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
#include "jet/format/index_text_key.h"

#include <array>
#include <initializer_list>
#include <string>

#include "jet/base/error.h"
#include "jet/format/index_text_codes.h"

namespace jet {

namespace {

constexpr std::size_t kMaxIndexedChars = 255;
constexpr std::uint8_t kEndText = 0x01;
constexpr std::uint8_t kEndExtraText = 0x00;
constexpr std::uint8_t kPlainPlaceholder = 0x02;
constexpr std::uint8_t kUnprintableMidfix = 0x06;
constexpr std::uint8_t kKanaOther = 0x03;
constexpr std::uint8_t kKanaBits = 0x80;
constexpr std::uint8_t kKanaSuffixStart = 0xFF;
constexpr std::uint8_t kKanaSuffixMidfix = 0x02;
constexpr std::uint8_t kKanaSuffixRepeat = 0x80;
constexpr std::size_t kKanaPerSuffixRepeat = 7;
constexpr std::uint8_t kKanaBeforeUnprintable = 0xFF;

// What is indexed: at most 255 characters, trailing spaces dropped.
std::u16string_view indexed_part(std::u16string_view text) {
  text = text.substr(0, kMaxIndexedChars);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

void complement_from(std::vector<std::uint8_t>& out, std::size_t start) {
  for (std::size_t i = start; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
}

constexpr unsigned kinds(std::initializer_list<TextCodeKind> list) {
  unsigned set = 0;
  for (TextCodeKind kind : list) set |= 1u << static_cast<unsigned>(kind);
  return set;
}

bool is_one_of(TextCodeKind kind, unsigned set) { return ((set >> static_cast<unsigned>(kind)) & 1u) != 0; }

constexpr unsigned kWritesInLine =
    kinds({TextCodeKind::Simple, TextCodeKind::International, TextCodeKind::Kana, TextCodeKind::Significant});
constexpr unsigned kInLineOnly = kinds({TextCodeKind::Simple, TextCodeKind::Ignored});

bool writes_in_line(TextCodeKind kind) { return is_one_of(kind, kWritesInLine); }

void store_u32_be(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// Bytes set aside while a key is built, on the stack: at most 255
// characters are indexed, so every part has a bound.
template <std::size_t Capacity>
class SmallBytes {
 public:
  void push_back(std::uint8_t b) { bytes_.at(size_++) = b; }
  // Big-endian bytes of a number, `size` of them.
  void append_big_endian(std::uint32_t value, std::size_t size) {
    for (std::size_t i = size; i-- > 0;) push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }
  const std::uint8_t* begin() const { return bytes_.data(); }
  const std::uint8_t* end() const { return bytes_.data() + size_; }

 private:
  std::array<std::uint8_t, Capacity> bytes_;
  std::size_t size_ = 0;
};

// The parts of a General legacy key after the in-line codes and their 01,
// written in one pass over the text: the extra codes straight into the key,
// the kana flags and unprintable codes, which few texts have, aside until
// the extra codes are complete.
class GeneralLegacyTail {
 public:
  GeneralLegacyTail(std::vector<std::uint8_t>& out, std::u16string_view text) : out_(out), extra_start_(out.size()) {
    std::size_t position = 0;  // characters with in-line codes before this one
    for (char16_t c : text) {
      const TextCodeRun& run = general_legacy_run(c);
      switch (run.kind) {
        case TextCodeKind::International: add_extra(position, run); break;
        case TextCodeKind::Kana:
          if (run.extra_size > 0) add_extra(position, run);
          kana_.push_back(run.kana_flag);
          break;
        case TextCodeKind::Combining: combine(position, static_cast<std::uint8_t>(code_in_run(run, c))); break;
        case TextCodeKind::Unprintable: add_unprintable(position, code_in_run(run, c), run.size); break;
        case TextCodeKind::Ignored:
        case TextCodeKind::Simple:
        case TextCodeKind::Significant: break;
      }
      if (writes_in_line(run.kind)) ++position;
    }
    // Trailing placeholders (and codes as low) say nothing.
    while (out_.size() > extra_start_ && out_.back() <= kPlainPlaceholder) out_.pop_back();
    if (kana_.empty() && unprintable_.empty()) return;
    out_.insert(out_.end(), {kEndText, kEndText});
    if (!kana_.empty()) {
      append_kana();
      if (!unprintable_.empty()) out_.push_back(kKanaBeforeUnprintable);
    }
    if (!unprintable_.empty()) {
      out_.push_back(kEndText);
      out_.insert(out_.end(), unprintable_.begin(), unprintable_.end());
    }
  }

 private:
  std::size_t extra_size() const { return out_.size() - extra_start_; }

  // Placeholders for the characters since the last extra code.
  void fill_to(std::size_t position) {
    started_ = true;
    if (extra_chars_ < position) {
      out_.insert(out_.end(), position - extra_chars_, kPlainPlaceholder);
      extra_chars_ = position;
    }
  }

  void add_extra(std::size_t position, const TextCodeRun& run) {
    fill_to(position);
    for (std::size_t i = run.extra_size; i-- > 0;) out_.push_back(static_cast<std::uint8_t>(run.extra >> (8 * i)));
    ++extra_chars_;
  }

  void combine(std::size_t position, std::uint8_t code) {
    fill_to(position);
    if (extra_size() > 0) {
      out_.back() = static_cast<std::uint8_t>(out_.back() + code);
    } else {
      out_.push_back(code);
      combining_prefix_ = 1;
    }
  }

  void add_unprintable(std::size_t position, std::uint32_t code, std::size_t size) {
    const std::size_t counted = started_ ? extra_size() + (position - extra_chars_) - combining_prefix_ : position;
    const auto marker = static_cast<std::uint16_t>(0x8000 | (7 + 4 * counted));
    unprintable_.append_big_endian(marker, 2);
    unprintable_.push_back(kUnprintableMidfix);
    unprintable_.append_big_endian(code, size);
  }

  void append_kana() {
    std::size_t flags = kana_.size();
    while (flags > 0 && kana_[flags - 1] == kKanaOther) --flags;
    for (std::size_t i = 0; i < flags; i += 3) {
      std::uint8_t bits = kKanaBits;
      for (std::size_t j = i; j < i + 3 && j < flags; ++j) {
        bits = static_cast<std::uint8_t>(bits | (kana_[j] << (2 * (2 - (j - i)))));
      }
      out_.push_back(bits);
    }
    const std::size_t repeats = (kana_.size() + kKanaPerSuffixRepeat - 1) / kKanaPerSuffixRepeat;
    out_.insert(out_.end(), {kKanaSuffixStart, kKanaSuffixMidfix});
    out_.insert(out_.end(), repeats, kKanaSuffixRepeat);
    out_.push_back(kKanaSuffixStart);
    out_.insert(out_.end(), repeats, kKanaSuffixRepeat);
  }

  std::vector<std::uint8_t>& out_;
  const std::size_t extra_start_;
  std::size_t extra_chars_ = 0;  // characters the extra codes account for
  std::size_t combining_prefix_ = 0;  // 1 when a combining mark wrote the first byte
  bool started_ = false;  // once extra codes are written, unprintable positions count their bytes
  // Per unprintable character a 2-byte position, 06 and a code of up to 4.
  SmallBytes<kMaxIndexedChars * 7> unprintable_;
  SmallBytes<kMaxIndexedChars> kana_;
};

// Keys are built for every row of a table: the in-line codes go straight
// into `out`, and the other parts, which most text lacks, are gathered by a
// second pass only when the text has them.
void append_general_legacy(std::vector<std::uint8_t>& out, std::u16string_view text, bool ascending) {
  const std::size_t start = out.size();
  out.resize(start + 4 * text.size());
  std::uint8_t* in_line = out.data() + start;
  unsigned kinds_seen = 0;
  for (char16_t c : text) {
    const TextCodeRun& run = general_legacy_run(c);
    kinds_seen |= kinds({run.kind});
    if (writes_in_line(run.kind)) {
      // All four bytes are stored, the code's first: what follows is
      // overwritten by the next character's code or cut off.
      store_u32_be(in_line, code_in_run(run, c) << (8 * (4 - run.size)));
      in_line += run.size;
    }
  }
  out.resize(static_cast<std::size_t>(in_line - out.data()));
  out.push_back(kEndText);
  if ((kinds_seen & ~kInLineOnly) != 0) GeneralLegacyTail(out, text);
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
    nibbles.push_back(code.extra[0]);
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
