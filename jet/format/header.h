// The header page (page 0) of a Jet database.
//
//   0x00  4  00 01 00 00
//   0x04 16  "Standard Jet DB\0" ("Standard ACE DB\0" for ACE; MSISAM differs)
//   0x14  4  format version: 0 Jet 3, 1 Jet 4, 2 and up ACE
//   0x18     from here 126 bytes (Jet 3) or 128 bytes (Jet 4) are masked
//            with RC4 under the fixed key C7 DA 39 6B; offsets below are
//            of the unmasked bytes
//   0x18 32  constants: 00 01 00 00 01 01 00 00 02 00 00 00 03 00 00 00
//                       04 00 00 00 05 00 00 00 00 00 00 00 00 00 00 00
//   Jet 3:
//   0x3A  2  sort order (language id)
//   0x3C  2  code page
//   0x3E  4  database key: pages after 0 are RC4-encrypted when not zero
//   0x42 20  database password, in the code page, zero-padded
//   Jet 4:
//   0x3C  2  code page
//   0x3E  4  database key
//   0x42 40  database password, UTF-16LE, zero-padded, each byte XORed with
//            byte (i mod 4) of the creation date's integer part (int32 LE)
//   0x6A  4  a value Access writes (21AA in a file without password)
//   0x6E  2  sort order (language id); 0x71: sort order version
//   0x72  8  creation date (a Date/Time double)
//   0x98  8  unmasked: 54 06 00 00 "4.0\0"
//
// Jet 3 keeps its commit/lock bytes at 0x600-0x7FF, Jet 4 at 0xE00-0xFFF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"

namespace jet {

struct Header {
  Version version = Version::Jet4;
  std::uint16_t code_page = 1252;
  std::uint16_t sort_order = 0x0409;  // General
  std::uint8_t sort_version = 0;      // Jet 4 only
  std::uint32_t database_key = 0;     // 0: pages are not encrypted
  std::string password;               // UTF-8; empty when none is set
  double creation_date = 0;           // Jet 4 only
  std::uint32_t jet4_0x6a = 0x21AA;   // Jet 4 only; kept as found

  bool encrypted() const { return database_key != 0; }
  bool operator==(const Header&) const = default;
};

// The number of bytes at the start of page 0 that decode_header reads.
constexpr std::size_t kHeaderBytes = 0xA0;

// Tells the format from the first bytes of a file (at least 0x18 of them).
// Raises UnrecognisedFormat, with a message saying what the file is when that
// is known (an ACE or MSISAM database), for anything but Jet 3 and Jet 4.
Version detect_version(Bytes start);

// Decodes the header from page 0 (at least kHeaderBytes bytes).
Header decode_header(Bytes page0);

// Writes header's fields into an existing page 0, keeping every other byte.
void write_header(const Header& header, MutableBytes page0);

// A new page 0 for header, with the constants Access writes.
std::vector<std::uint8_t> encode_header(const Header& header);

// Where page 0's commit/lock bytes start: two bytes a session slot, to the
// end of the page.
std::size_t lock_bytes_offset(Version version);

// Puts page 0's commit/lock bytes in the state Access leaves a file it has
// closed in: each slot a 16-bit number, 0x100 in every slot but the first
// two, which count on from there (0x011D, 0x024B... in Access's files): each
// of those is kept where it is 0x100 or more, or else set as in a new file
// (0x101, then 0x100).
void write_clean_lock_bytes(Version version, MutableBytes page0);

// Applies (or removes: the mask is its own inverse) the header mask.
void apply_header_mask(Version version, MutableBytes page0);

}  // namespace jet
