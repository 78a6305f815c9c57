#include "jet/format/properties.h"

#include <gtest/gtest.h>

#include "jet/read/catalog.h"
#include "support/raw_pages.h"

namespace jet {
namespace {

// Every property blob of the sample databases decodes, and encodes back to
// the bytes Access wrote.
TEST(PropertiesCorpus, EveryBlobDecodesAndEncodesToTheSameBytes) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  std::size_t blobs = 0, with_columns = 0;
  for (const auto& db : databases) {
    const TableDef catalog = read_table_def(db.version, 2, db.page_count(), db.source());
    const auto lv_prop = std::find_if(catalog.columns.begin(), catalog.columns.end(),
                                      [](const ColumnDef& c) { return c.name == "LvProp"; });
    ASSERT_NE(lv_prop, catalog.columns.end());
    const std::size_t column = static_cast<std::size_t>(lv_prop - catalog.columns.begin());
    for (const auto& row : db.catalog_rows()) {
      const auto* blob = std::get_if<std::vector<std::uint8_t>>(&row[column].data);
      if (blob == nullptr || blob->empty()) continue;
      SCOPED_TRACE(db.name + " " + catalog_object_from_row(catalog, row).name);
      const PropertyBlob decoded = decode_properties(db.version, *blob, 2);
      EXPECT_EQ(encode_properties(db.version, decoded), *blob);
      ++blobs;
      for (const PropertyBlock& block : decoded.blocks) with_columns += !block.name.empty();
    }
  }
  EXPECT_GT(blobs, 20u);
  EXPECT_GT(with_columns, 5u);
}

PropertyBlob sample_blob() {
  PropertyBlob blob;
  PropertyBlock object;
  object.properties = {{"Title", 0, ColumnType::Text, {'x', 0}}, {"AllowZeroLength", 1, ColumnType::Boolean, {1}}};
  PropertyBlock column;
  column.chunk_type = 0x01;
  column.name = "Caf\xC3\xA9";
  column.properties = {{"Caption", 0, ColumnType::Text, {'y', 0}}, {"Title", 0, ColumnType::Long, {1, 2, 3, 4}}};
  blob.blocks = {object, column};
  return blob;
}

TEST(Properties, RoundTripInBothFormatsAndShareNames) {
  for (Version version : {Version::Jet3, Version::Jet4}) {
    const PropertyBlob blob = sample_blob();
    const auto encoded = encode_properties(version, blob);
    PropertyBlob expected = blob;
    expected.names = {"Title", "AllowZeroLength", "Caption"};
    EXPECT_EQ(decode_properties(version, encoded), expected);
    ASSERT_NE(blob.blocks[1].find("caption"), nullptr);
    // "Title" is used twice and stored once.
    const std::string title = is_jet4(version) ? std::string("T\0i\0t\0l\0e\0", 10) : "Title";
    const std::string bytes(encoded.begin(), encoded.end());
    EXPECT_EQ(bytes.find(title), bytes.rfind(title));
  }
}

struct Damage {
  const char* what;
  std::function<void(std::vector<std::uint8_t>&)> damage;
  const char* field;
};

class DamagedBlob : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedBlob, GivesANamedError) {
  auto bytes = encode_properties(Version::Jet4, sample_blob());
  GetParam().damage(bytes);
  try {
    decode_properties(Version::Jet4, bytes, 2);
    FAIL() << GetParam().what;
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    EXPECT_EQ(e.where().field, GetParam().field) << e.what();
  }
}

// Offsets in the Jet 4 encoding of sample_blob(): the pool chunk starts at 4
// and holds Title, AllowZeroLength, Caption.
constexpr std::size_t kPool = 4;
constexpr std::size_t kFirstBlock = kPool + 6 + (2 + 10) + (2 + 30) + (2 + 14);

INSTANTIATE_TEST_SUITE_P(
    Blobs, DamagedBlob,
    ::testing::Values(Damage{"Jet 3 signature", [](auto& b) { b[0] = 'K'; }, "signature"},
                      Damage{"too short", [](auto& b) { b.resize(3); }, "signature"},
                      Damage{"chunk longer than the blob", [](auto& b) { store_u32(&b[kPool], 100000); },
                             "chunk 0 length"},
                      Damage{"chunk shorter than its header", [](auto& b) { store_u32(&b[kPool], 2); },
                             "chunk 0 length"},
                      Damage{"unknown chunk", [](auto& b) { b[kPool + 4] = 0x33; }, "chunk 0 type"},
                      Damage{"values before the pool", [](auto& b) { b[kPool + 4] = 0x00; }, "chunk 0 type"},
                      Damage{"name past the pool", [](auto& b) { store_u16(&b[kFirstBlock + 12 + 4], 3); },
                             "chunk 1 value 0 name index"},
                      Damage{"value longer than its record",
                             [](auto& b) { store_u16(&b[kFirstBlock + 12 + 6], 200); }, "chunk 1 value 0 length"},
                      Damage{"pool name past its chunk", [](auto& b) { store_u16(&b[kPool + 6], 5000); },
                             "chunk 0 name 0"}));

TEST(PropertiesDamage, EveryTruncationAndByteFlipEndsInADecodeOrANamedError) {
  const auto encoded = encode_properties(Version::Jet4, sample_blob());
  for (std::size_t cut = 0; cut < encoded.size(); ++cut) {
    try {
      decode_properties(Version::Jet4, Bytes(encoded.data(), cut));
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    }
  }
  for (std::size_t at = 0; at < encoded.size(); ++at) {
    auto damaged = encoded;
    damaged[at] ^= 0xFF;
    try {
      decode_properties(Version::Jet4, damaged);
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    }
  }
}

}  // namespace
}  // namespace jet
