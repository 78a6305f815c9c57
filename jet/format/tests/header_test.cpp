#include "jet/format/header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "jet/base/bytes.h"
#include "jet/base/rc4.h"
#include "support/corpus.h"
#include "support/new_header.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

TEST(Rc4, MatchesThePublishedTestVector) {
  std::string key = "Key";
  std::vector<std::uint8_t> data{'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
  rc4_apply(Bytes(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()), data);
  EXPECT_EQ(data, (std::vector<std::uint8_t>{0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}));
}

TEST(Header, DecodesEveryCorpusFileAndRewritesItByteForByte) {
  auto files = testing::corpus_files();
  if (files.empty()) GTEST_SKIP() << "sample databases not found at " JET_CORPUS_DIR;
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    auto bytes = testing::read_file_bytes(path);
    Header h = decode_header(bytes);
    bool jet3 = path.find("/jet3/") != std::string::npos;
    EXPECT_EQ(h.version, jet3 ? Version::Jet3 : Version::Jet4);
    EXPECT_EQ(h.code_page, 1252);
    EXPECT_EQ(h.sort_order, 0x0409);
    EXPECT_FALSE(h.encrypted());
    bool has_password = path.find("with-password") != std::string::npos;
    EXPECT_EQ(h.password, has_password ? "password" : "");
    if (!jet3) {
      EXPECT_GT(h.creation_date, 36000.0);  // after 1998
    }

    std::vector<std::uint8_t> page(bytes.begin(), bytes.begin() + page_size(h.version));
    std::vector<std::uint8_t> rewritten = page;
    write_header(h, rewritten);
    EXPECT_EQ(rewritten, page);
    // Access closed these files: their lock bytes are in the clean state.
    write_clean_lock_bytes(h.version, rewritten);
    EXPECT_EQ(rewritten, page);
  }
}

struct LockBytes {
  const char* name;
  // Slots 0, 1 and 5 as found, and as the clean state has them (each a
  // little-endian 16-bit number).
  std::uint16_t found[3];
  std::uint16_t clean[3];
  friend void PrintTo(const LockBytes& c, std::ostream* out) { *out << c.name; }
};

class CleanLockBytes : public ::testing::TestWithParam<LockBytes> {};

// Every slot but the first two is 00 01; those two keep Access's counts, or
// start as in a new file; the bytes before the slots stay.
TEST_P(CleanLockBytes, LeaveEverySlotAsAccessLeavesAClosedFile) {
  const LockBytes& c = GetParam();
  for (const Version version : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(to_string(version));
    std::vector<std::uint8_t> page(page_size(version), 0x5A);
    const std::size_t start = lock_bytes_offset(version);
    ASSERT_EQ(start, version == Version::Jet3 ? 0x600u : 0xE00u);
    const std::size_t slots[3] = {0, 1, 5};
    const auto at = [&](std::size_t i) { return page.data() + start + 2 * slots[i]; };
    for (std::size_t i = 0; i < 3; ++i) {
      store_u16(at(i), c.found[i]);
    }
    write_clean_lock_bytes(version, page);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(load_u16(at(i)), c.clean[i]) << "slot " << slots[i];
    EXPECT_EQ(page[start - 1], 0x5A);
    for (std::size_t slot = 2; start + 2 * slot < page.size(); ++slot) {
      if (slot == 5) continue;
      ASSERT_EQ(load_u16(page.data() + start + 2 * slot), 0x100) << "slot " << slot;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    States, CleanLockBytes,
    ::testing::Values(LockBytes{"NewFile", {0x0000, 0x0000, 0x0000}, {0x0101, 0x0100, 0x0100}},
                      LockBytes{"ClosedByAccess", {0x011D, 0x0131, 0x0100}, {0x011D, 0x0131, 0x0100}},
                      LockBytes{"CountsPastAByte", {0x0110, 0x024B, 0x0100}, {0x0110, 0x024B, 0x0100}},
                      LockBytes{"OneCountOnly", {0x0101, 0x0000, 0x0100}, {0x0101, 0x0100, 0x0100}},
                      LockBytes{"LeftOpenOrDamaged", {0x00FF, 0x0043, 0x7F2A}, {0x0101, 0x0100, 0x0100}}),
    [](const ::testing::TestParamInfo<LockBytes>& info) { return std::string(info.param.name); });

struct HeaderCase {
  const char* name;
  Header header;
};

class HeaderRoundTrip : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderRoundTrip, EncodesAndDecodesBack) {
  const Header& h = GetParam().header;
  auto page = encode_header(h);
  ASSERT_EQ(page.size(), page_size(h.version));
  EXPECT_EQ(decode_header(page), h);
  // The constants Access writes survive the mask.
  std::vector<std::uint8_t> plain = page;
  apply_header_mask(h.version, plain);
  EXPECT_EQ(plain[0x18], 0x00);
  EXPECT_EQ(plain[0x19], 0x01);
  EXPECT_EQ(plain[0x2C], 0x05);
  if (h.version == Version::Jet4) {
    EXPECT_EQ(std::memcmp(page.data() + 0x98, "\x54\x06\x00\x00" "4.0", 8), 0);
  }
}

Header make(Version v, std::string password, double date, std::uint32_t key, std::uint16_t cp) {
  Header h = testing::new_header(v);
  h.password = std::move(password);
  h.database_key = key;
  h.code_page = cp;
  if (v == Version::Jet4) {
    h.creation_date = date;
  } else {
    h.jet4_0x6a = 0;
  }
  return h;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderRoundTrip,
    ::testing::Values(HeaderCase{"jet3_plain", make(Version::Jet3, "", 0, 0, 1252)},
                      HeaderCase{"jet3_password_accent", make(Version::Jet3, "Sécret", 0, 0, 1252)},
                      HeaderCase{"jet3_longest_password", make(Version::Jet3, std::string(20, 'x'), 0, 0, 1252)},
                      HeaderCase{"jet4_unicode_password", make(Version::Jet4, "пароль", 44568.5, 0, 1252)},
                      HeaderCase{"jet4_longest_password", make(Version::Jet4, std::string(20, 'y'), 1.0, 0, 1252)},
                      HeaderCase{"jet4_encrypted", make(Version::Jet4, "", 38135.74, 0x12345678, 1251)},
                      HeaderCase{"jet4_negative_date", make(Version::Jet4, "pw", -700.25, 0, 1252)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Header, RefusesTooLongAPasswordWithoutTouchingThePage) {
  Header h = make(Version::Jet4, std::string(21, 'z'), 1.0, 0, 1252);
  std::vector<std::uint8_t> page = encode_header(make(Version::Jet4, "", 1.0, 0, 1252));
  auto before = page;
  try {
    write_header(h, page);
    FAIL() << "a 21-character password should not fit";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::LimitExceeded);
  }
  EXPECT_EQ(page, before);
}

struct NotJetCase {
  const char* name;
  std::size_t offset;
  std::string bytes;
  const char* message_part;
};

class NotJet : public ::testing::TestWithParam<NotJetCase> {};

TEST_P(NotJet, IsAnUnrecognisedFormat) {
  auto page = encode_header(Header{});
  const auto& c = GetParam();
  std::memcpy(page.data() + c.offset, c.bytes.data(), c.bytes.size());
  try {
    decode_header(page);
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::UnrecognisedFormat);
    EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NotJet,
    ::testing::Values(NotJetCase{"ace", 4, std::string("Standard ACE DB\0\x02", 17), "ACE"},
                      NotJetCase{"msisam", 4, std::string("MSISAM Database\0", 16), "MSISAM"},
                      NotJetCase{"version_2", 0x14, std::string("\x02", 1), "version 2"},
                      NotJetCase{"wrong_magic", 0, std::string("\x01", 1), "00 01 00 00"},
                      NotJetCase{"no_signature", 4, "Standard Foo DB", "signature"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Header, RefusesAFileTooShortForAHeader) {
  auto page = encode_header(Header{});
  for (std::size_t size : {std::size_t{0}, std::size_t{0x17}, kHeaderBytes - 1}) {
    try {
      decode_header(Bytes(page.data(), size));
      FAIL() << size;
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::UnrecognisedFormat);
    }
  }
}

}  // namespace
}  // namespace jet
