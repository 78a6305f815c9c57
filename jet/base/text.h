// Text as Jet stores it, converted to and from UTF-8.
//
// Jet 4 stores text as UTF-16LE, optionally in the "compressed Unicode" form:
// the bytes FF FE, then runs of characters that alternate between one byte
// each (the low byte of a character whose high byte is zero) and two bytes
// each (plain UTF-16LE); a 00 byte switches from one run kind to the other,
// and the first run is one-byte. Jet 3 stores text in the database's code page.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/base/bytes.h"

namespace jet {

// UTF-16LE to UTF-8. An odd trailing byte is dropped and an unpaired
// surrogate becomes U+FFFD, so damaged text still reads.
std::string utf16le_to_utf8(Bytes utf16);

// UTF-8 to UTF-16LE. Malformed UTF-8 raises InvalidArgument.
std::vector<std::uint8_t> utf8_to_utf16le(std::string_view utf8);

// Decodes a Jet 4 text value, compressed or not.
std::string decode_jet4_text(Bytes stored);

// The same as UTF-16 code units into `out` (its memory reused), for a caller
// that needs the characters rather than UTF-8. Unlike decode_jet4_text it
// keeps an unpaired surrogate as it is.
void decode_jet4_text_utf16(Bytes stored, std::u16string& out);

// Encodes a Jet 4 text value; with compress, in the compressed form whenever
// that is shorter than plain UTF-16LE.
std::vector<std::uint8_t> encode_jet4_text(std::string_view utf8, bool compress);

// Converts text in a Windows code page (1252, 1251, 932, ...) to UTF-8 and
// back, as Windows does: every byte of a single-byte code page has a
// character (the bytes its table leaves undefined too), so any stored text
// converts back to the same bytes. Code page 0 means 1252, as Access treats
// it. Only a cut-off or malformed double-byte character decodes to U+FFFD;
// characters the code page lacks raise InvalidArgument.
std::string codepage_to_utf8(Bytes stored, std::uint16_t code_page);
std::vector<std::uint8_t> utf8_to_codepage(std::string_view utf8, std::uint16_t code_page);

// Text the engine writes of its own accord (a report quoting a damaged
// name), which must not fail to be written: each byte that is not UTF-8
// becomes '?', and so, in the code page's form, does each character the code
// page lacks.
std::string as_valid_utf8(std::string_view utf8);
std::string fit_to_code_page(std::string_view utf8, std::uint16_t code_page);

// Raises Unsupported, as codepage_to_utf8 does, when text in the code page
// cannot be converted here; returns otherwise.
void require_codepage(std::uint16_t code_page);

}  // namespace jet
