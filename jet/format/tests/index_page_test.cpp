#include "jet/format/index_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/corpus_files.h"

namespace jet {
namespace {

IndexEntry leaf_entry(std::vector<std::uint8_t> key, std::uint32_t page, std::uint8_t row) {
  return IndexEntry{std::move(key), RowPointer{page, row}, 0};
}

IndexPage sample_leaf() {
  IndexPage page;
  page.leaf = true;
  page.table_page = 15;
  page.prev_page = 7;
  page.next_page = 9;
  for (std::uint8_t i = 0; i < 40; ++i) page.entries.push_back(leaf_entry({0x7F, 0x80, 0x00, 0x01, i}, 0x20, i));
  return page;
}

TEST(IndexPage, EncodesAndDecodesBothFormatsWithASharedPrefix) {
  for (Version v : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(std::string(to_string(v)));
    IndexPage page = sample_leaf();
    std::vector<std::uint8_t> bytes = encode_index_page(v, page);
    ASSERT_EQ(bytes.size(), page_size(v));
    IndexPage back = decode_index_page(v, 3, bytes);
    EXPECT_EQ(back.entries, page.entries);
    EXPECT_EQ(back.table_page, 15u);
    EXPECT_EQ(back.prev_page, 7u);
    EXPECT_EQ(back.next_page, 9u);
    // Every entry shares 7F 80 00 01 and the page's first two bytes 00 00.
    EXPECT_EQ(back.prefix_length, 4u);
    EXPECT_EQ(load_u16(&bytes[2]), page_size(v) - index_page_layout(v).entries - compressed_entries_size(v, page));
  }
}

TEST(IndexPage, ReusedBuffersKeepNothingOfThePageBefore) {
  IndexPage small;
  small.table_page = 15;
  small.entries = {leaf_entry({0x7F, 0x02}, 0x30, 1)};
  IndexRecords records;
  std::vector<std::uint8_t> out;
  for (Version v : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(std::string(to_string(v)));
    for (const IndexPage& page : {sample_leaf(), small}) {
      records.clear();
      std::vector<std::uint8_t> record;
      for (const IndexEntry& e : page.entries) {
        record.clear();
        append_index_entry(record, e, page.leaf);
        records.append(record);
      }
      encode_index_page_into(v, page, records, out);
      EXPECT_EQ(out, encode_index_page(v, page));
    }
  }
}

TEST(IndexPage, PrefixRunsIntoThePointerButNeverTheRowNorPastItsField) {
  struct Case {
    Version version;
    std::size_t key_size;  // the two entries' keys are the same
    std::size_t prefix;
  };
  // Key + page 3 bytes, but Jet 3's one-byte field names at most 255.
  for (const Case& c : {Case{Version::Jet4, 2, 5}, Case{Version::Jet3, 2, 5}, Case{Version::Jet4, 300, 303},
                        Case{Version::Jet3, 300, 255}}) {
    SCOPED_TRACE(std::string(to_string(c.version)) + " key " + std::to_string(c.key_size));
    std::vector<std::uint8_t> key(c.key_size, 0x41);
    key[0] = 0x7F;
    IndexPage page;
    page.entries = {leaf_entry(key, 0x010203, 1), leaf_entry(key, 0x010203, 2)};
    std::vector<std::uint8_t> bytes = encode_index_page(c.version, page);
    IndexPage back = decode_index_page(c.version, 1, bytes);
    EXPECT_EQ(back.prefix_length, c.prefix);
    EXPECT_EQ(back.entries, page.entries);
  }
}

TEST(IndexPage, IntermediateEntriesCarryTheirChildAndTheLevelItsOwnByte) {
  IndexPage page;
  page.leaf = false;
  page.level = 1;
  page.tail_page = 33;
  page.entries = {IndexEntry{{0x80, 0x7F}, RowPointer{0x11, 0}, 32}};
  for (Version v : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(std::string(to_string(v)));
    const std::vector<std::uint8_t> bytes = encode_index_page(v, page);
    // As Access 97 writes an intermediate page: prefix byte 0, level byte 1.
    const IndexPageLayout l = index_page_layout(v);
    EXPECT_EQ(bytes[l.prefix_length], 0);
    EXPECT_EQ(bytes[l.level], 1);
    IndexPage back = decode_index_page(v, 29, bytes);
    EXPECT_FALSE(back.leaf);
    EXPECT_EQ(back.tail_page, 33u);
    EXPECT_EQ(back.level, 1);
    EXPECT_EQ(back.prefix_length, 0u);
    EXPECT_EQ(back.entries, page.entries);
  }
}

TEST(IndexPage, RefusesEntriesBeyondThePage) {
  for (Version v : {Version::Jet3, Version::Jet4}) {
    IndexPage page;
    std::vector<std::uint8_t> key(100, 0);
    for (std::uint32_t i = 0; i < 40; ++i) {
      key[1] = static_cast<std::uint8_t>(i);
      key[99] = static_cast<std::uint8_t>(i);  // keeps the prefix short
      page.entries.push_back(leaf_entry(key, i + 1, 0));
    }
    try {
      encode_index_page(v, page);
      FAIL() << "encoded " << compressed_entries_size(v, page) << " bytes";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::LimitExceeded);
    }
  }
}

// Damage to a valid Jet 4 leaf, and the field the error must name.
struct Damage {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> apply;
  const char* field;
};

TEST(IndexPage, NamesTheFieldThatDoesNotAddUp) {
  const IndexPageLayout l = index_page_layout(Version::Jet4);
  const std::vector<Damage> damages = {
      {"not an index page", [](auto& p) { p[0] = 0x01; }, "page type"},
      {"prefix longer than the first entry", [&](auto& p) { store_u16(&p[l.prefix_length], 200); }, "shared prefix length"},
      {"bitmap past the entry area", [&](auto& p) { p[l.bitmap + l.bitmap_size - 1] = 0x80; }, "entry-end bitmap"},
      {"entry too short for its pointers",
       [&](auto& p) {
         std::fill(&p[l.bitmap], &p[l.bitmap + l.bitmap_size], 0);
         p[l.bitmap] = 0x08;  // one 3-byte entry
         store_u16(&p[l.prefix_length], 0);
       },
       "entry 0"},
      {"entries out of order",
       [&](auto& p) {
         // the first entry's last key byte 00 -> 05 puts it after the second
         p[l.entries + 4] = 0x05;
       },
       "entry 1"},
  };
  IndexPage page = sample_leaf();
  const std::vector<std::uint8_t> good = encode_index_page(Version::Jet4, page);
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    std::vector<std::uint8_t> bad = good;
    d.apply(bad);
    try {
      decode_index_page(Version::Jet4, 12, bad);
      FAIL() << "decoded";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Corrupt);
      EXPECT_EQ(e.where().page, 12u);
      EXPECT_EQ(e.where().field, d.field) << e.what();
    }
  }
}

TEST(IndexPage, EveryCorpusIndexPageDecodesAndReencodesToTheSameEntries) {
  if (!testing::corpus_available()) GTEST_SKIP() << "no sample databases at " << JET_CORPUS_DIR;
  std::size_t pages = 0;
  std::size_t identical = 0;
  for (const testing::CorpusFile& file : testing::load_corpus()) {
    SCOPED_TRACE(file.name);
    for (std::uint32_t n = 1; n < file.page_count(); ++n) {
      Bytes raw = file.page(n);
      if (raw[0] != 0x03 && raw[0] != 0x04) continue;
      ++pages;
      IndexPage page = decode_index_page(file.version, n, raw);
      std::vector<std::uint8_t> again = encode_index_page(file.version, page);
      IndexPage back = decode_index_page(file.version, n, again);
      EXPECT_EQ(back.entries, page.entries) << "page " << n;
      EXPECT_EQ(back.tail_page, page.tail_page);
      // Where Access chose the prefix we choose, the pages are byte for byte
      // the same (Access leaves short pages uncompressed).
      if (back.prefix_length == page.prefix_length) {
        identical += std::equal(again.begin(), again.begin() + static_cast<std::ptrdiff_t>(
                                                                    index_page_layout(file.version).entries +
                                                                    compressed_entries_size(file.version, page)),
                                raw.begin());
      }
    }
  }
  EXPECT_GT(pages, 200u);
  EXPECT_GT(identical, 100u);
}

}  // namespace
}  // namespace jet
