#include "jet/format/name_text.h"

#include "jet/base/error.h"
#include "jet/base/text.h"

namespace jet {

namespace {

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes UTF-8 into code points; false on malformed input.
bool utf8_code_points(std::string_view utf8, std::vector<char32_t>& out) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      c = lead & 0x07;
      extra = 3;
    } else {
      return false;
    }
    if (utf8.size() - i <= static_cast<std::size_t>(extra)) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.push_back(c);
    i += 1 + extra;
  }
  return true;
}

// Jet 4's compressed form: after FF FE, runs of one-byte characters (the low
// byte of a UTF-16 unit whose high byte is 0) and runs of plain UTF-16 units,
// each 00 byte switching between them.
std::vector<std::uint8_t> expand_compressed(Bytes stored) {
  std::vector<std::uint8_t> utf16;
  bool compressed = true;
  std::size_t i = 2;
  while (i < stored.size()) {
    if (stored[i] == 0) {
      compressed = !compressed;
      ++i;
    } else if (compressed) {
      utf16.push_back(stored[i]);
      utf16.push_back(0);
      ++i;
    } else {
      if (i + 1 >= stored.size()) break;
      utf16.push_back(stored[i]);
      utf16.push_back(stored[i + 1]);
      i += 2;
    }
  }
  return utf16;
}

std::string utf16le_to_utf8(Bytes utf16, bool* ok) {
  *ok = utf16.size() % 2 == 0;
  std::string out;
  for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
    char32_t unit = load_u16(utf16.data() + i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < utf16.size()) {
      const char32_t low = load_u16(utf16.data() + i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      *ok = false;
      unit = 0xFFFD;
    }
    append_utf8(out, unit);
  }
  return out;
}

std::vector<std::uint8_t> utf8_to_utf16le(std::string_view utf8, bool* ok) {
  std::vector<char32_t> points;
  *ok = utf8_code_points(utf8, points);
  std::vector<std::uint8_t> out;
  auto put = [&out](char32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (char32_t c : points) {
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

}  // namespace

std::string decode_name(Version version, Bytes stored, const ByteReader& where, std::string_view field) {
  if (!is_jet4(version)) return codepage_to_utf8(stored, 1252);
  bool ok = true;
  std::string name;
  if (stored.size() >= 2 && stored[0] == 0xFF && stored[1] == 0xFE) {
    const std::vector<std::uint8_t> utf16 = expand_compressed(stored);
    name = utf16le_to_utf8(utf16, &ok);
  } else {
    name = utf16le_to_utf8(stored, &ok);
  }
  if (!ok) where.fail(field, "is not valid UTF-16 text");
  return name;
}

std::vector<std::uint8_t> encode_name(Version version, std::string_view utf8) {
  bool ok = true;
  std::vector<std::uint8_t> stored;
  if (is_jet4(version)) {
    stored = utf8_to_utf16le(utf8, &ok);
  } else {
    try {
      stored = utf8_to_codepage(utf8, 1252);
    } catch (const Error& e) {
      if (e.code() != ErrorCode::InvalidArgument) throw;
      ok = false;
    }
  }
  if (!ok) {
    throw Error(ErrorCode::InvalidArgument,
                "the name \"" + std::string(utf8) + "\" cannot be stored in a " +
                    std::string(to_string(version)) + " database");
  }
  return stored;
}

}  // namespace jet
