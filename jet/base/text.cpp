#include "jet/base/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "jet/base/code_page_tables.h"

namespace jet {

namespace {

void append_utf8(std::string& out, std::uint32_t cp) {
  char bytes[4];
  std::size_t n = 0;
  if (cp < 0x80) {
    bytes[n++] = static_cast<char>(cp);
  } else if (cp < 0x800) {
    bytes[n++] = static_cast<char>(0xC0 | (cp >> 6));
    bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    bytes[n++] = static_cast<char>(0xE0 | (cp >> 12));
    bytes[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    bytes[n++] = static_cast<char>(0xF0 | (cp >> 18));
    bytes[n++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    bytes[n++] = static_cast<char>(0x80 | (cp & 0x3F));
  }
  out.append(bytes, n);
}

constexpr std::uint32_t kReplacement = 0xFFFD;

// Decodes UTF-8 into code points; malformed input raises InvalidArgument.
std::vector<std::uint32_t> code_points(std::string_view utf8) {
  std::vector<std::uint32_t> out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  auto bad = [&] {
    throw Error(ErrorCode::InvalidArgument,
                "text is not valid UTF-8 at byte " + std::to_string(i));
  };
  while (i < utf8.size()) {
    auto lead = static_cast<std::uint8_t>(utf8[i]);
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    if (lead < 0x80) {
      extra = 0;
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07;
    } else {
      bad();
    }
    if (utf8.size() - i <= extra) bad();
    for (std::size_t k = 1; k <= extra; ++k) {
      auto next = static_cast<std::uint8_t>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) bad();
      cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) bad();
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

void append_utf16(std::vector<std::uint8_t>& out, std::uint32_t cp) {
  auto unit = [&](std::uint32_t u) {
    out.push_back(static_cast<std::uint8_t>(u));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  };
  if (cp >= 0x10000) {
    cp -= 0x10000;
    unit(0xD800 | (cp >> 10));
    unit(0xDC00 | (cp & 0x3FF));
  } else {
    unit(cp);
  }
}

// Builds UTF-8 from UTF-16 code units. A high surrogate waits for the unit
// after it; whatever does not pair becomes U+FFFD.
class Utf8Writer {
 public:
  explicit Utf8Writer(std::size_t expected) { out_.reserve(expected); }

  void unit(std::uint32_t u) {
    if (pending_high_ != 0) {
      std::uint32_t high = pending_high_;
      pending_high_ = 0;
      if (u >= 0xDC00 && u <= 0xDFFF) {
        append_utf8(out_, 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00));
        return;
      }
      append_utf8(out_, kReplacement);
    }
    if (u >= 0xD800 && u <= 0xDBFF) {
      pending_high_ = u;
    } else {
      append_utf8(out_, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
  }

  // `count` bytes below 0x80, each a character.
  void ascii_bytes(const std::uint8_t* p, std::size_t count) {
    flush_pending();
    out_.append(reinterpret_cast<const char*>(p), count);
  }

  // `count` UTF-16LE units below 0x80.
  void ascii_units(const std::uint8_t* p, std::size_t count) {
    flush_pending();
    std::size_t at = out_.size();
    out_.resize(at + count);
    char* d = out_.data() + at;
    for (std::size_t k = 0; k < count; ++k) d[k] = static_cast<char>(p[2 * k]);
  }

  std::string finish() {
    flush_pending();
    return std::move(out_);
  }

 private:
  void flush_pending() {
    if (pending_high_ != 0) append_utf8(out_, kReplacement);
    pending_high_ = 0;
  }

  std::string out_;
  std::uint32_t pending_high_ = 0;  // a high surrogate not yet paired, or 0
};

// How many of the `count` bytes at p, from the first, are ASCII characters
// other than NUL (which switches runs in compressed text).
std::size_t ascii_bytes(const std::uint8_t* p, std::size_t count) {
  std::size_t n = 0;
  while (n < count && p[n] != 0 && p[n] < 0x80) ++n;
  return n;
}

// How many of the `count` UTF-16LE units at p, from the first, are below 0x80.
std::size_t ascii_units(const std::uint8_t* p, std::size_t count) {
  std::size_t n = 0;
  while (n < count && p[2 * n + 1] == 0 && p[2 * n] < 0x80) ++n;
  return n;
}

std::string iconv_name(std::uint16_t code_page) {
  return "CP" + std::to_string(code_page == 0 ? 1252 : code_page);
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle open_iconv(const std::string& to, const std::string& from) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw Error(ErrorCode::Unsupported, "no conversion between " + from + " and " + to);
  }
  return IconvHandle(cd);
}

}  // namespace

std::string utf16le_to_utf8(Bytes utf16) {
  const std::size_t units = utf16.size() / 2;
  const std::uint8_t* p = utf16.data();
  Utf8Writer out(units);
  std::size_t i = 0;
  while (i < units) {
    std::size_t ascii = ascii_units(p + 2 * i, units - i);
    if (ascii > 0) {
      out.ascii_units(p + 2 * i, ascii);
      i += ascii;
    } else {
      out.unit(load_u16(p + 2 * i));
      ++i;
    }
  }
  return out.finish();
}

std::vector<std::uint8_t> utf8_to_utf16le(std::string_view utf8) {
  std::vector<std::uint8_t> out;
  out.reserve(utf8.size() * 2);
  for (auto cp : code_points(utf8)) append_utf16(out, cp);
  return out;
}

namespace {

// Walks Jet 4 compressed text (it starts FF FE): runs of characters stored
// a byte each, the character's low byte, alternate with runs stored as
// UTF-16LE units, each 00 byte switching from one to the other. Hands each
// one-byte run to on_bytes(start, count) and each unit to on_unit(unit).
template <typename OnBytes, typename OnUnit>
void walk_compressed_text(Bytes stored, OnBytes&& on_bytes, OnUnit&& on_unit) {
  const std::uint8_t* p = stored.data();
  const std::size_t size = stored.size();
  bool one_byte_run = true;
  std::size_t i = 2;
  while (i < size) {
    if (p[i] == 0) {
      one_byte_run = !one_byte_run;
      ++i;
    } else if (one_byte_run) {
      const void* zero = std::memchr(p + i, 0, size - i);
      const std::size_t end = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - p) : size;
      on_bytes(p + i, end - i);
      i = end;
    } else if (size - i >= 2) {
      on_unit(load_u16(p + i));
      i += 2;
    } else {
      break;  // a lone byte left over in a two-byte run carries no character
    }
  }
}

}  // namespace

void decode_jet4_text_utf16(Bytes stored, std::u16string& out) {
  out.clear();
  const std::uint8_t* p = stored.data();
  const std::size_t size = stored.size();
  if (size < 2 || p[0] != 0xFF || p[1] != 0xFE) {
    for (std::size_t i = 0; i + 1 < size; i += 2) out.push_back(static_cast<char16_t>(load_u16(p + i)));
    return;
  }
  walk_compressed_text(
      stored,
      [&](const std::uint8_t* run, std::size_t count) {
        // Widened in place: appending bytes to a UTF-16 string directly
        // would build a temporary string of them first.
        const std::size_t at = out.size();
        out.resize(at + count);
        std::copy(run, run + count, out.begin() + static_cast<std::ptrdiff_t>(at));
      },
      [&](std::uint16_t unit) { out.push_back(static_cast<char16_t>(unit)); });
}

std::string decode_jet4_text(Bytes stored) {
  if (stored.size() < 2 || stored[0] != 0xFF || stored[1] != 0xFE) {
    return utf16le_to_utf8(stored);
  }
  // Mostly ASCII: one output byte per stored byte.
  Utf8Writer out(stored.size());
  walk_compressed_text(
      stored,
      [&](const std::uint8_t* run, std::size_t count) {
        for (std::size_t k = 0; k < count;) {
          const std::size_t ascii = ascii_bytes(run + k, count - k);
          if (ascii > 0) {
            out.ascii_bytes(run + k, ascii);
            k += ascii;
          } else {
            out.unit(run[k++]);
          }
        }
      },
      [&](std::uint16_t unit) { out.unit(unit); });
  return out.finish();
}

std::vector<std::uint8_t> encode_jet4_text(std::string_view utf8, bool compress) {
  std::vector<std::uint8_t> plain = utf8_to_utf16le(utf8);
  if (!compress) return plain;

  // One-byte runs hold characters 0x01 to 0xFF. A two-byte character whose
  // first byte is 00 would read as a switch, so such characters (U+0000,
  // U+0100, U+0200, ...) make the whole value stay uncompressed.
  std::vector<std::uint8_t> packed{0xFF, 0xFE};
  bool one_byte_run = true;
  for (std::size_t i = 0; i + 1 < plain.size(); i += 2) {
    std::uint8_t low = plain[i];
    std::uint8_t high = plain[i + 1];
    bool fits_one_byte = high == 0 && low != 0;
    if (!fits_one_byte && low == 0) return plain;
    if (fits_one_byte != one_byte_run) {
      packed.push_back(0);
      one_byte_run = fits_one_byte;
    }
    packed.push_back(low);
    if (!fits_one_byte) packed.push_back(high);
  }
  return packed.size() < plain.size() ? packed : plain;
}

namespace {

const SingleByteCodePage* single_byte_code_page(std::uint16_t code_page) {
  const std::uint16_t windows = code_page == 0 ? 1252 : code_page;
  for (const SingleByteCodePage& table : kSingleByteCodePages) {
    if (table.code_page == windows) return &table;
  }
  return nullptr;
}

// A single byte of a double-byte code page that the platform's converter
// refuses and Windows maps to a character; 0 where there is none.
char16_t double_byte_single(std::uint16_t code_page, std::uint8_t byte) {
  for (const DoubleByteSingle& single : kDoubleByteSingles) {
    if (single.code_page == code_page && single.byte == byte) return single.character;
  }
  return 0;
}

std::optional<std::uint8_t> double_byte_single_for(std::uint16_t code_page, std::uint32_t character) {
  for (const DoubleByteSingle& single : kDoubleByteSingles) {
    if (single.code_page == code_page && single.character == character) return single.byte;
  }
  return std::nullopt;
}

[[noreturn]] void cannot_hold(std::uint16_t code_page) {
  throw Error(ErrorCode::InvalidArgument,
              "text has characters that code page " + std::to_string(code_page) + " cannot hold");
}

std::string decode_single_byte(Bytes stored, const SingleByteCodePage& table) {
  std::string out;
  out.reserve(stored.size());
  for (std::uint8_t byte : stored) {
    if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else {
      append_utf8(out, table.high[byte - 0x80]);
    }
  }
  return out;
}

std::vector<std::uint8_t> encode_single_byte(std::string_view utf8, const SingleByteCodePage& table) {
  std::vector<std::uint8_t> out;
  out.reserve(utf8.size());
  for (std::uint32_t c : code_points(utf8)) {
    if (c < 0x80) {
      out.push_back(static_cast<std::uint8_t>(c));
      continue;
    }
    const auto found = std::find(table.high.begin(), table.high.end(), static_cast<char16_t>(c));
    if (c > 0xFFFF || found == table.high.end()) cannot_hold(table.code_page);
    out.push_back(static_cast<std::uint8_t>(0x80 + (found - table.high.begin())));
  }
  return out;
}

// Through the platform's converter: double-byte code pages, and any other
// it knows. A byte that starts no character becomes the character Windows
// gives it, or U+FFFD where it gives none (a cut-off double-byte character).
std::string decode_with_iconv(Bytes stored, std::uint16_t code_page) {
  IconvHandle cd = open_iconv("UTF-8", iconv_name(code_page));
  std::string out;
  out.resize(stored.size() * 4 + 4);
  auto* in_ptr = const_cast<char*>(reinterpret_cast<const char*>(stored.data()));
  std::size_t in_left = stored.size();
  char* out_ptr = out.data();
  std::size_t out_left = out.size();
  while (in_left > 0) {
    std::size_t r = iconv(static_cast<iconv_t>(cd.get()), &in_ptr, &in_left, &out_ptr, &out_left);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;
    // Some converters report a failure having taken the input to its end:
    // there is then no byte left to map.
    if (in_left == 0) break;
    const char16_t single = double_byte_single(code_page, static_cast<std::uint8_t>(*in_ptr));
    ++in_ptr;
    --in_left;
    std::string character;
    append_utf8(character, single != 0 ? single : kReplacement);
    if (out_left < character.size()) break;
    for (char c : character) *out_ptr++ = c;
    out_left -= character.size();
  }
  out.resize(out.size() - out_left);
  return out;
}

void append_with_iconv(std::vector<std::uint8_t>& out, iconv_t cd, std::string_view utf8, std::uint16_t code_page) {
  if (utf8.empty()) return;
  const std::size_t at = out.size();
  out.resize(at + utf8.size() * 2 + 8);
  auto* in_ptr = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  auto* out_ptr = reinterpret_cast<char*>(out.data() + at);
  std::size_t out_left = out.size() - at;
  if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1)) cannot_hold(code_page);
  out.resize(out.size() - out_left);
}

// Runs of text go through the converter; the characters Windows gives
// single bytes the converter refuses are written as those bytes.
std::vector<std::uint8_t> encode_with_iconv(std::string_view utf8, std::uint16_t code_page) {
  IconvHandle cd = open_iconv(iconv_name(code_page), "UTF-8");
  auto handle = static_cast<iconv_t>(cd.get());
  std::vector<std::uint8_t> out;
  std::size_t run = 0;
  std::size_t i = 0;
  for (std::uint32_t c : code_points(utf8)) {
    const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (const auto byte = double_byte_single_for(code_page, c)) {
      append_with_iconv(out, handle, utf8.substr(run, i - run), code_page);
      iconv(handle, nullptr, nullptr, nullptr, nullptr);
      out.push_back(*byte);
      run = i + length;
    }
    i += length;
  }
  append_with_iconv(out, handle, utf8.substr(run), code_page);
  return out;
}

}  // namespace

void require_codepage(std::uint16_t code_page) {
  if (single_byte_code_page(code_page)) return;
  // Opening a converter costs more than most values: remember the last one
  // that worked.
  thread_local std::optional<std::uint16_t> known_good;
  if (known_good == code_page) return;
  open_iconv("UTF-8", iconv_name(code_page));
  known_good = code_page;
}

std::string codepage_to_utf8(Bytes stored, std::uint16_t code_page) {
  if (const SingleByteCodePage* table = single_byte_code_page(code_page)) return decode_single_byte(stored, *table);
  if (stored.empty()) return {};
  return decode_with_iconv(stored, code_page);
}

namespace {

bool is_valid_utf8(std::string_view text) {
  try {
    code_points(text);
    return true;
  } catch (const Error&) {
    return false;
  }
}

// utf8 with each character that `encodes` refuses, and each byte that
// starts no character, replaced by '?'.
template <typename Encodes>
std::string replacing_what_fails(std::string_view utf8, Encodes encodes) {
  if (encodes(utf8)) return std::string(utf8);
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<std::uint8_t>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
    const std::string_view one = utf8.substr(i, length);
    if (one.size() < length || !is_valid_utf8(one)) {
      out += '?';
      ++i;
      continue;
    }
    if (encodes(one)) {
      out += one;
    } else {
      out += '?';
    }
    i += length;
  }
  return out;
}

}  // namespace

std::string as_valid_utf8(std::string_view utf8) { return replacing_what_fails(utf8, is_valid_utf8); }

std::string fit_to_code_page(std::string_view utf8, std::uint16_t code_page) {
  return replacing_what_fails(utf8, [&](std::string_view text) {
    try {
      utf8_to_codepage(text, code_page);
      return true;
    } catch (const Error& e) {
      if (e.code() != ErrorCode::InvalidArgument) throw;
      return false;
    }
  });
}

std::vector<std::uint8_t> utf8_to_codepage(std::string_view utf8, std::uint16_t code_page) {
  if (const SingleByteCodePage* table = single_byte_code_page(code_page)) return encode_single_byte(utf8, *table);
  if (utf8.empty()) return {};
  return encode_with_iconv(utf8, code_page);
}

}  // namespace jet
