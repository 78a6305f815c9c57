#include "jet/format/header.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "jet/base/rc4.h"
#include "jet/base/text.h"

namespace jet {

namespace {

constexpr std::array<std::uint8_t, 4> kMagic{0x00, 0x01, 0x00, 0x00};
constexpr char kJetSignature[] = "Standard Jet DB";   // followed by 00
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr char kMsisamSignature[] = "MSISAM Database";
constexpr std::size_t kSignatureOffset = 0x04;
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kMaskOffset = 0x18;
constexpr std::array<std::uint8_t, 4> kMaskKey{0xC7, 0xDA, 0x39, 0x6B};
constexpr std::array<std::uint8_t, 32> kConstants{
    0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr std::array<std::uint8_t, 8> kJet4Trailer{0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};

constexpr std::size_t kJet3SortOrder = 0x3A;
constexpr std::size_t kCodePage = 0x3C;
constexpr std::size_t kDatabaseKey = 0x3E;
constexpr std::size_t kPassword = 0x42;
constexpr std::size_t kJet3PasswordSize = 20;
constexpr std::size_t kJet4PasswordSize = 40;
constexpr std::size_t kJet4Unknown6A = 0x6A;
constexpr std::size_t kJet4SortOrder = 0x6E;
constexpr std::size_t kJet4SortVersion = 0x71;
constexpr std::size_t kJet4CreationDate = 0x72;
constexpr std::size_t kJet4TrailerOffset = 0x98;

std::size_t mask_length(Version v) { return v == Version::Jet3 ? 126 : 128; }

bool starts_with(Bytes data, std::size_t offset, const char* text) {
  std::size_t n = std::strlen(text) + 1;  // with its terminating zero
  return data.size() >= offset + n && std::memcmp(data.data() + offset, text, n) == 0;
}

[[noreturn]] void unrecognised(const std::string& why) {
  throw Error(ErrorCode::UnrecognisedFormat, Location{0, "header", "signature"}, why);
}

// The password mask: the creation date's integer part, as 4 little-endian
// bytes. A date that is no finite number in int32 range masks with zero.
std::array<std::uint8_t, 4> password_mask(double creation_date) {
  std::array<std::uint8_t, 4> mask{};
  if (std::isfinite(creation_date) && creation_date > std::numeric_limits<std::int32_t>::min() &&
      creation_date < std::numeric_limits<std::int32_t>::max()) {
    store_u32(mask.data(), static_cast<std::uint32_t>(static_cast<std::int32_t>(creation_date)));
  }
  return mask;
}

// Strips the zero padding: the password ends at its first zero character.
std::string decode_password(const Header& h, Bytes raw) {
  if (h.version == Version::Jet3) {
    std::size_t n = 0;
    while (n < raw.size() && raw[n] != 0) ++n;
    return codepage_to_utf8(raw.first(n), h.code_page);
  }
  std::size_t units = 0;
  while (2 * units + 1 < raw.size() && load_u16(raw.data() + 2 * units) != 0) ++units;
  return utf16le_to_utf8(raw.first(2 * units));
}

std::vector<std::uint8_t> encode_password(const Header& h) {
  std::vector<std::uint8_t> raw = h.version == Version::Jet3
                                      ? utf8_to_codepage(h.password, h.code_page)
                                      : utf8_to_utf16le(h.password);
  std::size_t limit = h.version == Version::Jet3 ? kJet3PasswordSize : kJet4PasswordSize;
  if (raw.size() > limit) {
    throw Error(ErrorCode::LimitExceeded,
                "a database password has at most " + std::to_string(limit) + " bytes");
  }
  raw.resize(limit, 0);
  return raw;
}

void check_size(Bytes page0) {
  if (page0.size() < kHeaderBytes) {
    unrecognised("the file is too short to be a Jet database (" + std::to_string(page0.size()) +
                 " bytes)");
  }
}

}  // namespace

Version detect_version(Bytes start) {
  if (start.size() < kMaskOffset) {
    unrecognised("the file is too short to be a Jet database (" + std::to_string(start.size()) +
                 " bytes)");
  }
  if (std::memcmp(start.data(), kMagic.data(), kMagic.size()) != 0) {
    unrecognised("not a Jet database: the file does not start with 00 01 00 00");
  }
  if (starts_with(start, kSignatureOffset, kAceSignature)) {
    unrecognised("an ACE (.accdb) database, version " + std::to_string(start[kVersionOffset]) +
                 ": only Jet 3 and Jet 4 databases are supported");
  }
  if (starts_with(start, kSignatureOffset, kMsisamSignature)) {
    unrecognised("an MSISAM database: only Jet 3 and Jet 4 databases are supported");
  }
  if (!starts_with(start, kSignatureOffset, kJetSignature)) {
    unrecognised("not a Jet database: the signature at offset 4 is missing");
  }
  std::uint32_t version = load_u32(start.data() + kVersionOffset);
  if (version == 0) return Version::Jet3;
  if (version == 1) return Version::Jet4;
  unrecognised("a database of format version " + std::to_string(version) +
               " (ACE or newer): only Jet 3 and Jet 4 databases are supported");
}

void apply_header_mask(Version version, MutableBytes page0) {
  if (page0.size() < kMaskOffset + mask_length(version)) {
    throw Error(ErrorCode::InvalidArgument, "page 0 is too short for the header mask");
  }
  rc4_apply(kMaskKey, page0.subspan(kMaskOffset, mask_length(version)));
}

Header decode_header(Bytes page0) {
  check_size(page0);
  Header h;
  h.version = detect_version(page0);
  std::array<std::uint8_t, kHeaderBytes> plain;
  std::memcpy(plain.data(), page0.data(), plain.size());
  apply_header_mask(h.version, plain);
  ByteReader r(plain, 0, "header");

  h.code_page = r.u16(kCodePage, "code page");
  h.database_key = r.u32(kDatabaseKey, "database key");
  if (h.version == Version::Jet3) {
    h.sort_order = r.u16(kJet3SortOrder, "sort order");
    h.sort_version = 0;
    h.creation_date = 0;
    h.jet4_0x6a = 0;
    h.password = decode_password(h, r.bytes(kPassword, kJet3PasswordSize, "password"));
  } else {
    h.sort_order = r.u16(kJet4SortOrder, "sort order");
    h.sort_version = r.u8(kJet4SortVersion, "sort order version");
    h.creation_date = std::bit_cast<double>(r.u64(kJet4CreationDate, "creation date"));
    h.jet4_0x6a = r.u32(kJet4Unknown6A, "0x6A");
    std::array<std::uint8_t, kJet4PasswordSize> raw;
    Bytes masked = r.bytes(kPassword, kJet4PasswordSize, "password");
    auto mask = password_mask(h.creation_date);
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = masked[i] ^ mask[i % 4];
    h.password = decode_password(h, raw);
  }
  return h;
}

void write_header(const Header& h, MutableBytes page0) {
  if (page0.size() < kHeaderBytes) {
    throw Error(ErrorCode::InvalidArgument, "page 0 is too short for a header");
  }
  std::vector<std::uint8_t> password = encode_password(h);  // may throw: before any change
  std::memcpy(page0.data(), kMagic.data(), kMagic.size());
  std::memcpy(page0.data() + kSignatureOffset, kJetSignature, sizeof kJetSignature);
  store_u32(page0.data() + kVersionOffset, h.version == Version::Jet3 ? 0 : 1);

  apply_header_mask(h.version, page0);
  std::uint8_t* p = page0.data();
  store_u16(p + kCodePage, h.code_page);
  store_u32(p + kDatabaseKey, h.database_key);
  if (h.version == Version::Jet3) {
    store_u16(p + kJet3SortOrder, h.sort_order);
  } else {
    store_u16(p + kJet4SortOrder, h.sort_order);
    p[kJet4SortVersion] = h.sort_version;
    store_u64(p + kJet4CreationDate, std::bit_cast<std::uint64_t>(h.creation_date));
    store_u32(p + kJet4Unknown6A, h.jet4_0x6a);
    auto mask = password_mask(h.creation_date);
    for (std::size_t i = 0; i < password.size(); ++i) password[i] ^= mask[i % 4];
  }
  std::memcpy(p + kPassword, password.data(), password.size());
  apply_header_mask(h.version, page0);
}

std::size_t lock_bytes_offset(Version version) { return version == Version::Jet3 ? 0x600 : 0xE00; }

void write_clean_lock_bytes(Version version, MutableBytes page0) {
  const std::size_t start = lock_bytes_offset(version);
  if (page0.size() < start) throw Error(ErrorCode::InvalidArgument, "page 0 is too short for its lock bytes");
  constexpr std::uint16_t kUnused = 0x100;
  constexpr std::uint16_t kNewFile[2] = {0x101, 0x100};
  for (std::size_t slot = 0; start + 2 * slot + 1 < page0.size(); ++slot) {
    std::uint8_t* p = page0.data() + start + 2 * slot;
    if (slot < 2 && load_u16(p) >= kUnused) continue;
    store_u16(p, slot < 2 ? kNewFile[slot] : kUnused);
  }
}

std::vector<std::uint8_t> encode_header(const Header& h) {
  std::vector<std::uint8_t> page(page_size(h.version), 0);
  // The constants live in the masked area: write them unmasked, mask, and let
  // write_header unmask and remask around the fields.
  std::memcpy(page.data() + kMaskOffset, kConstants.data(), kConstants.size());
  if (h.version == Version::Jet3) {
    page[0x38] = 0x01;  // Access 97 writes 1 here
  }
  apply_header_mask(h.version, page);
  if (h.version == Version::Jet4) {
    std::memcpy(page.data() + kJet4TrailerOffset, kJet4Trailer.data(), kJet4Trailer.size());
  }
  write_header(h, page);
  write_clean_lock_bytes(h.version, page);
  return page;
}

}  // namespace jet
