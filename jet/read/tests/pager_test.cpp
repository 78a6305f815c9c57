#include "jet/read/pager.h"

#include <gtest/gtest.h>

#include "support/fail_after_file.h"

namespace jet {
namespace {

// A Jet 3 file of `pages` pages where page n is filled with the byte n,
// encrypted under `key` when it is not zero.
MemoryFile make_file(std::uint32_t pages, std::uint32_t key, std::size_t extra_bytes = 0) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t n = 0; n < pages; ++n) {
    std::vector<std::uint8_t> page(2048, static_cast<std::uint8_t>(n));
    if (key != 0 && n != 0) crypt_page(key, n, page);
    bytes.insert(bytes.end(), page.begin(), page.end());
  }
  bytes.resize(bytes.size() + extra_bytes, 0xEE);
  return MemoryFile(std::move(bytes));
}

TEST(Pager, DecryptsEveryPageButTheHeader) {
  for (std::uint32_t key : {0u, 0x6B39DAC7u}) {
    MemoryFile file = make_file(4, key);
    Pager pager(file, Version::Jet3, key);
    ASSERT_EQ(pager.page_count(), 4u);
    for (std::uint32_t n = 0; n < 4; ++n) {
      EXPECT_EQ(*pager.page(n), std::vector<std::uint8_t>(2048, static_cast<std::uint8_t>(n)))
          << "key " << key << " page " << n;
    }
  }
}

TEST(Pager, NamesThePageBeyondTheEndAndThePartialLastPage) {
  MemoryFile file = make_file(3, 0, 100);
  Pager pager(file, Version::Jet3, 0);
  EXPECT_EQ(pager.page_count(), 3u);
  EXPECT_EQ(pager.trailing_bytes(), 100u);
  struct Case {
    std::uint32_t page;
    const char* says;
  } cases[] = {{3, "ends 100 bytes into"}, {4, "beyond the end"}, {0xFFFFFF, "beyond the end"}};
  for (const auto& c : cases) {
    try {
      pager.page(c.page);
      FAIL() << c.page;
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Corrupt);
      EXPECT_EQ(e.where().page, c.page);
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

TEST(Pager, CachesUpToItsLimitAndRereadsWhatItEvicted) {
  MemoryFile inner = make_file(4, 0);
  testing::FailAfterFile file(inner, 3);
  Pager pager(file, Version::Jet3, 0, 2);
  pager.page(1);
  pager.page(2);
  pager.page(1);  // cached
  pager.page(2);  // cached
  EXPECT_EQ(file.operations(), 2u);
  pager.page(3);  // evicts page 1, the least recently used
  EXPECT_EQ(file.operations(), 3u);
  pager.page(2);  // still cached
  EXPECT_THROW(pager.page(1), Error);  // must be read again: the budget is spent
}

// Read-ahead: a miss right after a cached page reads a run of pages in one
// read, doubling with each such miss up to the window, never past the last
// whole page nor over a page already cached; any other miss reads its page
// alone and starts over. Every page still decrypts under its own number.
TEST(Pager, ReadsAheadInOneReadWhenTheMissContinuesAPass) {
  struct Case {
    const char* name;
    std::size_t window;
    std::vector<std::uint32_t> asked;
    std::uint64_t reads;
  } cases[] = {
      {"in order, doubling up to window 4", 4, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 4},  // 1, 2-3, 4-7, 8-9
      {"window 1 reads each page", 1, {1, 2, 3}, 3},
      {"clipped at the last whole page", 8, {5, 6, 7, 8, 9, 0}, 4},             // 5, 6-7, 8-9, 0
      {"stops before a cached page", 8, {6, 2, 3, 4, 5, 7, 8, 9}, 5},          // 6, 2, 3-4, 5, 7-9
      {"a jump starts over", 8, {1, 2, 3, 6, 7, 8, 9}, 5},                     // 1, 2-3, 6, 7-8, 9
      {"backwards: each page alone", 3, {9, 8, 7, 6}, 4},
  };
  for (std::uint32_t key : {0u, 0x6B39DAC7u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " key " + std::to_string(key));
      MemoryFile inner = make_file(10, key, 100);
      testing::FailAfterFile file(inner, 1000);
      Pager pager(file, Version::Jet3, key, 16, c.window);
      for (std::uint32_t n : c.asked) {
        EXPECT_EQ(*pager.page(n), std::vector<std::uint8_t>(2048, static_cast<std::uint8_t>(n))) << "page " << n;
      }
      EXPECT_EQ(file.operations(), c.reads);
    }
  }
}

}  // namespace
}  // namespace jet
