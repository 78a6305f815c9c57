#include "jet/base/compat_win32/iconv.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

constexpr unsigned kUtf8 = CP_UTF8;

struct Converter {
  unsigned to;
  unsigned from;
};

// "UTF-8" or "CPnnnn" (any letter case) as a Windows code page; 0 for
// anything else or a code page the system does not have.
unsigned code_page(const char* name) {
  if (_stricmp(name, "UTF-8") == 0) return kUtf8;
  if (_strnicmp(name, "CP", 2) != 0 || name[2] == '\0') return 0;
  char* end = nullptr;
  const unsigned long number = std::strtoul(name + 2, &end, 10);
  if (*end != '\0' || number == 0 || number > 65535 || !::IsValidCodePage(static_cast<UINT>(number))) return 0;
  return static_cast<unsigned>(number);
}

// The length of the character that starts at `bytes` in code page `page`: 1
// or 2 (a double-byte code page's lead byte), or 1 to 4 in UTF-8. 0 when
// the byte can start no character.
std::size_t character_length(unsigned page, unsigned char first) {
  if (page == kUtf8) {
    if (first < 0x80) return 1;
    if ((first & 0xE0) == 0xC0) return 2;
    if ((first & 0xF0) == 0xE0) return 3;
    if ((first & 0xF8) == 0xF0) return 4;
    return 0;
  }
  return ::IsDBCSLeadByteEx(page, first) ? 2 : 1;
}

// Windows gives a code page's undefined bytes (0x81 in code page 1252) the
// C1 control of the same number, where iconv refuses them; no code page the
// engine meets defines a C1 control, so one stands for a byte undefined.
bool is_c1_control(wchar_t unit) { return unit >= 0x80 && unit <= 0x9F; }

// One character to UTF-16: 1 or 2 units, or 0 when the source does not
// define it.
int to_utf16(unsigned page, const char* bytes, std::size_t length, wchar_t (&units)[2]) {
  const int count = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), units, 2);
  if (page != kUtf8 && count == 1 && is_c1_control(units[0])) return 0;
  return count;
}

// One character from UTF-16 into `bytes`: its length, or 0 when the target
// cannot hold it. A character a code page would only approximate (a "best
// fit", such as an accented letter written without its accent) counts as
// one it cannot hold.
int from_utf16(unsigned page, const wchar_t* units, int count, char (&bytes)[8]) {
  if (page == kUtf8) {
    return ::WideCharToMultiByte(page, WC_ERR_INVALID_CHARS, units, count, bytes, sizeof bytes, nullptr, nullptr);
  }
  if (count == 1 && is_c1_control(units[0])) return 0;
  BOOL defaulted = FALSE;
  const int length =
      ::WideCharToMultiByte(page, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, &defaulted);
  return defaulted ? 0 : length;
}

}  // namespace

iconv_t iconv_open(const char* to, const char* from) {
  const unsigned target = code_page(to);
  const unsigned source = code_page(from);
  if (target == 0 || source == 0) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
  }
  return new Converter{target, source};
}

int iconv_close(iconv_t converter) {
  delete static_cast<Converter*>(converter);
  return 0;
}

std::size_t iconv(iconv_t handle, char** in, std::size_t* in_left, char** out, std::size_t* out_left) {
  const auto& converter = *static_cast<const Converter*>(handle);
  // No input: a reset, which a converter without shift states needs not.
  if (in == nullptr || *in == nullptr) return 0;
  while (*in_left > 0) {
    const std::size_t length = character_length(converter.from, static_cast<unsigned char>(**in));
    if (length == 0) {
      errno = EILSEQ;
      return static_cast<std::size_t>(-1);
    }
    if (length > *in_left) {
      errno = EINVAL;
      return static_cast<std::size_t>(-1);
    }
    wchar_t units[2];
    char bytes[8];
    const int count = to_utf16(converter.from, *in, length, units);
    const int written = count > 0 ? from_utf16(converter.to, units, count, bytes) : 0;
    if (written <= 0) {
      errno = EILSEQ;
      return static_cast<std::size_t>(-1);
    }
    if (static_cast<std::size_t>(written) > *out_left) {
      errno = E2BIG;
      return static_cast<std::size_t>(-1);
    }
    std::memcpy(*out, bytes, static_cast<std::size_t>(written));
    *out += written;
    *out_left -= static_cast<std::size_t>(written);
    *in += length;
    *in_left -= length;
  }
  return 0;
}
