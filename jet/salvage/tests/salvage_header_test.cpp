#include "jet/salvage/salvage_header.h"

#include <gtest/gtest.h>

#include <cstring>

#include "jet/base/text.h"
#include "jet/read/pager.h"
#include "support/corpus.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using Image = std::vector<std::uint8_t>;

Image with(Image image, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
  return image;
}

// The code page and the database key sit in the masked part of the header;
// damage them there.
Image with_masked_field(const Image& image, std::size_t offset, std::uint32_t value, std::size_t width) {
  Image copy = image;
  Version version = copy[0x14] == 0 ? Version::Jet3 : Version::Jet4;
  apply_header_mask(version, copy);
  if (width == 2) {
    store_u16(&copy[offset], static_cast<std::uint16_t>(value));
  } else {
    store_u32(&copy[offset], value);
  }
  apply_header_mask(version, copy);
  return copy;
}

Image with_database_key(const Image& image, std::uint32_t key) { return with_masked_field(image, 0x3E, key, 4); }
Image with_code_page(const Image& image, std::uint16_t code_page) {
  return with_masked_field(image, 0x3C, code_page, 2);
}

TEST(SalvageHeader, RecoversTheFormatOfEveryCorpusFileFromDamagedHeaders) {
  auto files = testing::corpus_files();
  if (files.empty()) GTEST_SKIP() << "the sample databases are not here";
  for (const auto& path : files) {
    Image original = testing::read_file_bytes(path);
    Header truth = decode_header(original);
    if (truth.encrypted()) continue;  // a lost key cannot be recovered
    struct Row {
      const char* damage;
      Image image;
      bool rebuilt;
    } rows[] = {
        {"intact", original, false},
        {"signature overwritten", with(original, 4, {'X', 'X', 'X', 'X'}), true},
        {"version byte names the other format",
         with(original, 0x14, {static_cast<std::uint8_t>(truth.version == Version::Jet3 ? 1 : 0)}), true},
        {"version byte out of range", with(original, 0x14, {0x37}), true},
        {"database key garbled", with_database_key(original, 0xDEADBEEF), true},
        {"code page no converter knows", with_code_page(original, 9003), true},
        // Jet 3 keeps the password in the code page: a byte it leaves
        // undefined is a character of its own, kept and written back.
        {"a password byte the code page leaves undefined",
         truth.version == Version::Jet3 ? with_masked_field(original, 0x42, 0x81, 2) : original, false},
    };
    for (const auto& row : rows) {
      SCOPED_TRACE(path + ": " + row.damage);
      MemoryFile file(row.image);
      SalvageLog log;
      Header header = salvage_header(file, log);
      EXPECT_EQ(header.version, truth.version);
      EXPECT_EQ(header.database_key, 0u);
      EXPECT_EQ(log.count(SalvageCode::HeaderRebuilt), row.rebuilt ? 1u : 0u);
      if (!row.rebuilt) {
        EXPECT_EQ(header, decode_header(row.image));
      }
      // The header must be one a writer can store again.
      EXPECT_NO_THROW(encode_header(header));
      // Texts must read in whatever code page it kept or chose.
      EXPECT_NO_THROW(codepage_to_utf8(Bytes(reinterpret_cast<const std::uint8_t*>("A"), 1), header.code_page));
      // Whatever was rebuilt, page 2 must read as the catalog's definition.
      Pager pager(file, header.version, header.database_key);
      EXPECT_EQ((*pager.page(2))[0], 0x02);
    }
  }
}

TEST(SalvageHeader, StillRefusesWhatIsNoJetDatabase) {
  Image ace(8 * 4096, 0);
  std::memcpy(&ace[0], "\x00\x01\x00\x00Standard ACE DB", 20);
  ace[0x14] = 2;
  Image noise(8 * 4096);
  std::uint32_t state = 99;
  for (auto& byte : noise) byte = static_cast<std::uint8_t>((state = state * 1103515245 + 12345) >> 16);
  struct Row {
    const char* name;
    Image image;
  } rows[] = {{"an ACE database", ace}, {"noise", noise}, {"two pages", Image(2 * 2048, 0)}};
  for (const auto& row : rows) {
    MemoryFile file(row.image);
    SalvageLog log;
    try {
      salvage_header(file, log);
      ADD_FAILURE() << row.name << " was taken for a Jet database";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::UnrecognisedFormat) << row.name;
    }
  }
}

}  // namespace
}  // namespace jet
