#include "jet/format/usage_map.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <set>

#include "support/raw_pages.h"

namespace jet {
namespace {

using testing::RawDatabase;

// ---------------------------------------------------------------------------
// The sample databases: every map leads to pages of the kind it should.

std::string page_tag(const std::vector<std::uint8_t>& page) { return std::string(page.begin() + 4, page.begin() + 8); }

TEST(UsageMapCorpus, MapsOfEveryTableLeadToItsOwnPages) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  std::size_t data_pages = 0, index_pages = 0, long_value_pages = 0;
  for (const RawDatabase& db : databases) {
    const std::uint32_t count = db.page_count();
    // Access marks the pages past the end of the file free as well.
    const UsageMap free_map = read_free_page_map(db.version, count, db.source());
    EXPECT_GT(free_map.pages_beyond_file, 0u) << db.name;
    for (const TableDef& def : db.table_defs()) {
      // Tables found by scanning may be dropped ones whose maps were reused.
      UsageMap owned;
      try {
        owned = read_usage_map(db.version, def.owned_pages, count, db.source());
      } catch (const Error&) {
        continue;
      }
      SCOPED_TRACE(db.name + " table at page " + std::to_string(def.page));
      for (std::uint32_t page : owned.pages) {
        const auto bytes = db.page(page);
        EXPECT_EQ(bytes[0], 0x01) << "owned page " << page;
        EXPECT_EQ(load_u32(&bytes[4]), def.page) << "owned page " << page;
        EXPECT_FALSE(free_map.contains(page)) << "owned page " << page << " is marked free";
        ++data_pages;
      }
      for (const RealIndexDef& index : def.real_indexes) {
        const UsageMap map = read_usage_map(db.version, index.usage_map, count, db.source());
        for (std::uint32_t page : map.pages) {
          const auto bytes = db.page(page);
          EXPECT_TRUE(bytes[0] == 0x03 || bytes[0] == 0x04) << "index page " << page;
          EXPECT_EQ(load_u32(&bytes[4]), def.page) << "index page " << page;
          ++index_pages;
        }
      }
      for (const LongValueColumnMaps& maps : def.long_value_maps) {
        const UsageMap map = read_usage_map(db.version, maps.owned_pages, count, db.source());
        for (std::uint32_t page : map.pages) {
          const auto bytes = db.page(page);
          EXPECT_EQ(bytes[0], 0x01) << "long-value page " << page;
          EXPECT_EQ(page_tag(bytes), "LVAL") << "long-value page " << page;
          ++long_value_pages;
        }
      }
    }
  }
  EXPECT_GT(data_pages, 100u);
  EXPECT_GT(index_pages, 20u);
  EXPECT_GT(long_value_pages, 0u);
}

TEST(UsageMapCorpus, EveryMapRowReencodesToTheSamePages) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  for (const RawDatabase& db : databases) {
    for (const TableDef& def : db.table_defs()) {
      for (RowPointer pointer : {def.owned_pages, def.free_space_pages}) {
        UsageMap map;
        try {
          map = read_usage_map(db.version, pointer, db.page_count(), db.source());
        } catch (const Error&) {
          continue;
        }
        std::uint32_t next_free = db.page_count();
        const EncodedUsageMap encoded = encode_usage_map(db.version, map.pages, [&] { return next_free++; });
        EXPECT_EQ(encoded.row.size(), usage_map_row_size(db.version));
        std::map<std::uint32_t, std::vector<std::uint8_t>> written(encoded.bitmap_pages.begin(),
                                                                   encoded.bitmap_pages.end());
        const UsageMap back = decode_usage_map(db.version, encoded.row, pointer, next_free,
                                               [&](std::uint32_t p) { return written.at(p); });
        EXPECT_EQ(back.pages, map.pages) << db.name << " map at page " << pointer.page;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Round trips of page sets.

struct RoundTrip {
  const char* what;
  Version version;
  std::vector<std::uint32_t> pages;
  std::uint32_t cover_until;
  UsageMapKind kind;
  std::size_t bitmap_pages;
};

std::vector<std::uint32_t> range(std::uint32_t from, std::uint32_t to, std::uint32_t step = 1) {
  std::vector<std::uint32_t> out;
  for (std::uint32_t p = from; p < to; p += step) out.push_back(p);
  return out;
}

class UsageMapRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(UsageMapRoundTrip, DecodesToTheSamePages) {
  const RoundTrip& c = GetParam();
  std::map<std::uint32_t, std::vector<std::uint8_t>> written;
  std::uint32_t next = 5'000'000;
  const EncodedUsageMap encoded = encode_usage_map(c.version, c.pages, [&] { return next++; }, c.cover_until);
  for (const auto& [number, bytes] : encoded.bitmap_pages) written[number] = bytes;
  ASSERT_EQ(encoded.bitmap_pages.size(), c.bitmap_pages) << c.what;

  const UsageMap map = decode_usage_map(c.version, encoded.row, RowPointer{3, 0}, 6'000'000,
                                        [&](std::uint32_t p) { return written.at(p); });
  EXPECT_EQ(map.kind, c.kind) << c.what;
  EXPECT_EQ(map.pages, c.pages) << c.what;
  for (std::uint32_t p = 0; p < c.cover_until; p += 997) EXPECT_TRUE(map.covers(p, c.version)) << c.what << " " << p;
  if (!c.pages.empty()) {
    EXPECT_TRUE(map.contains(c.pages.back()));
    EXPECT_FALSE(map.contains(c.pages.back() + 1));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sets, UsageMapRoundTrip,
    ::testing::Values(RoundTrip{"empty", Version::Jet4, {}, 0, UsageMapKind::Inline, 0},
                      RoundTrip{"one far page", Version::Jet4, {123456}, 0, UsageMapKind::Inline, 0},
                      RoundTrip{"a full inline span", Version::Jet4, range(40, 552), 0, UsageMapKind::Inline, 0},
                      RoundTrip{"one past the inline span", Version::Jet4, range(40, 553), 0, UsageMapKind::Reference, 1},
                      RoundTrip{"Jet 3 inline span", Version::Jet3, range(7, 1031), 0, UsageMapKind::Inline, 0},
                      RoundTrip{"Jet 3 sparse", Version::Jet3, range(3, 100000, 777), 0, UsageMapKind::Reference, 7},
                      RoundTrip{"Jet 4 slot edges", Version::Jet4, {32735, 32736, 65471, 65472}, 0,
                                UsageMapKind::Reference, 3},
                      RoundTrip{"free map of a small file", Version::Jet4, {9, 10}, 300, UsageMapKind::Inline, 0},
                      RoundTrip{"free map of a big file", Version::Jet4, {9, 70000}, 100000,
                                UsageMapKind::Reference, 4}));

TEST(UsageMapEncode, RefusesPagesNoMapCanReach) {
  const std::vector<std::uint32_t> pages{2, 17 * 32736};
  std::uint32_t next = 1;
  EXPECT_THROW(encode_usage_map(Version::Jet4, pages, [&] { return next++; }), Error);
}

// ---------------------------------------------------------------------------
// Rows of data pages and damaged maps.

// A Jet 4 data page holding the given rows, row 0 at the end of the page.
std::vector<std::uint8_t> data_page(const std::vector<std::vector<std::uint8_t>>& rows) {
  std::vector<std::uint8_t> page(4096, 0);
  page[0] = 0x01;
  page[1] = 0x01;
  store_u16(&page[12], static_cast<std::uint16_t>(rows.size()));
  std::size_t end = page.size();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::size_t start = end - rows[i].size();
    std::copy(rows[i].begin(), rows[i].end(), page.begin() + start);
    store_u16(&page[14 + 2 * i], static_cast<std::uint16_t>(start));
    end = start;
  }
  return page;
}

// An inline map row of `pages`, starting at page 0.
std::vector<std::uint8_t> inline_row(std::initializer_list<std::uint32_t> pages) {
  std::vector<std::uint8_t> row(69, 0);
  for (std::uint32_t p : pages) row[5 + p / 8] |= static_cast<std::uint8_t>(1u << (p % 8));
  return row;
}

TEST(ReadUsageMap, FindsItsRowAmongOthersOnTheDataPage) {
  const auto page = data_page({{9, 9, 9}, inline_row({3, 4}), inline_row({20})});
  const PageSource source = [&](std::uint32_t) { return page; };
  EXPECT_EQ(read_usage_map(Version::Jet4, RowPointer{9, 1}, 50, source).pages, (std::vector<std::uint32_t>{3, 4}));
  EXPECT_EQ(read_usage_map(Version::Jet4, RowPointer{9, 2}, 50, source).pages, (std::vector<std::uint32_t>{20}));
}

struct RowDamage {
  const char* what;
  std::function<void(std::vector<std::uint8_t>&)> damage;
  std::uint8_t row;
  const char* field;
};

class DamagedRow : public ::testing::TestWithParam<RowDamage> {};

TEST_P(DamagedRow, GivesANamedError) {
  const RowDamage& c = GetParam();
  auto page = data_page({inline_row({1}), inline_row({2})});
  c.damage(page);
  try {
    read_usage_map(Version::Jet4, RowPointer{9, c.row}, 50, [&](std::uint32_t) { return page; });
    FAIL() << c.what;
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    EXPECT_EQ(e.where().page, 9u);
    EXPECT_EQ(e.where().field, c.field) << c.what << ": " << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedRow,
    ::testing::Values(RowDamage{"not a data page", [](auto& p) { p[0] = 0x02; }, 0, "page type"},
                      RowDamage{"row past the count", [](auto&) {}, 2, "row number"},
                      RowDamage{"deleted row", [](auto& p) { p[15] |= 0x80; }, 0, "row 0 offset"},
                      RowDamage{"row starts inside the offset table", [](auto& p) { store_u16(&p[16], 4); }, 1,
                                "row 1 offset"},
                      RowDamage{"row ends before it starts", [](auto& p) { store_u16(&p[14], 100); }, 1,
                                "row 1 offset"},
                      RowDamage{"huge row count", [](auto& p) { store_u16(&p[12], 0x7000); }, 200,
                                "row count"}));

TEST(ReadUsageMap, RefusesPointersOutsideTheFile) {
  for (RowPointer pointer : {RowPointer{0, 0}, RowPointer{50, 0}, RowPointer{0xFFFFFF, 3}}) {
    try {
      read_usage_map(Version::Jet4, pointer, 50, [](std::uint32_t) -> std::vector<std::uint8_t> {
        throw std::logic_error("no page may be read");
      });
      FAIL() << pointer.page;
    } catch (const Error& e) {
      EXPECT_EQ(e.where().field, "pointer");
    }
  }
}

struct MapDamage {
  const char* what;
  std::vector<std::uint8_t> row;
  std::uint8_t bitmap_page_type;
  const char* field;
};

class DamagedMap : public ::testing::TestWithParam<MapDamage> {};

TEST_P(DamagedMap, GivesANamedError) {
  const MapDamage& c = GetParam();
  std::vector<std::uint8_t> bitmap_page(4096, 0);
  bitmap_page[0] = c.bitmap_page_type;
  try {
    decode_usage_map(Version::Jet4, c.row, RowPointer{9, 1}, 50, [&](std::uint32_t) { return bitmap_page; });
    FAIL() << c.what;
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    EXPECT_EQ(e.where().field, c.field) << c.what << ": " << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Maps, DamagedMap,
    ::testing::Values(MapDamage{"empty row", {}, 0x05, "map type"},
                      MapDamage{"unknown kind", {7, 0, 0, 0, 0}, 0x05, "map type"},
                      MapDamage{"inline without its start page", {0, 1, 2}, 0x05, "start page"},
                      MapDamage{"bitmap page past the end", {1, 60, 0, 0, 0}, 0x05, "bitmap page 0"},
                      MapDamage{"bitmap page of another kind", {1, 12, 0, 0, 0}, 0x01, "page type"}));

TEST(UsageMapDecode, CountsBitsPastTheEndOfTheFileWithoutKeepingThem) {
  std::vector<std::uint8_t> row(69, 0xFF);
  row[0] = 0;
  store_u32(&row[1], 10);
  const UsageMap map = decode_usage_map(Version::Jet4, row, RowPointer{9, 1}, 100, {});
  EXPECT_EQ(map.pages, range(10, 100));
  EXPECT_EQ(map.pages_beyond_file, 512u - 90u);
  EXPECT_TRUE(map.covers(521, Version::Jet4));
  EXPECT_FALSE(map.covers(522, Version::Jet4));
  EXPECT_FALSE(map.covers(9, Version::Jet4));
}

}  // namespace
}  // namespace jet
