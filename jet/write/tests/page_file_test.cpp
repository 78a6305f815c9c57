#include "jet/write/page_store.h"

#include <gtest/gtest.h>

#include "jet/read/pager.h"
#include "support/fail_after_file.h"

namespace jet {
namespace {

constexpr std::uint32_t kKey = 0x6B39DAC7;

// Pages numbered from 1, written out of order: within the window, a page
// left behind by the window (written late), page 0, gaps never written, and
// runs across several 1 MiB windows.
std::vector<std::uint32_t> write_order(Version version) {
  const std::uint32_t per_window = static_cast<std::uint32_t>((std::size_t{1} << 20) / page_size(version));
  std::vector<std::uint32_t> order = {2, 1, 4, 3};
  for (std::uint32_t n = 6; n < 3 * per_window + 7; ++n) {
    if (n % 97 != 0) order.push_back(n);  // every 97th stays a gap until the end
  }
  order.push_back(5);  // long behind the window
  order.push_back(0);
  for (std::uint32_t n = 97; n < 3 * per_window + 7; n += 97) order.push_back(n);
  order.push_back(3 * per_window + 7);
  return order;
}

std::vector<std::uint8_t> page_of(Version version, std::uint32_t n) {
  return std::vector<std::uint8_t>(page_size(version), static_cast<std::uint8_t>(n * 7 + 1));
}

void write_all(File& file, Version version, std::uint32_t key, PageFile::Writes writes) {
  PageFile pages(file, version, key, 1, writes);
  for (std::uint32_t n : write_order(version)) {
    while (pages.page_count() <= n) pages.allocate_page();
    pages.write_page(n, page_of(version, n));
  }
  pages.flush();
}

// Writing in a second thread changes nothing in what lands in the file: every
// page at its place, encrypted under its own number, whatever the order.
TEST(PageFile, WritesTheSameBytesInTheBackgroundAsInTheCaller) {
  for (Version version : {Version::Jet3, Version::Jet4}) {
    for (std::uint32_t key : {0u, kKey}) {
      SCOPED_TRACE(std::string(version == Version::Jet3 ? "Jet 3" : "Jet 4") + " key " + std::to_string(key));
      MemoryFile in_caller;
      MemoryFile in_background;
      write_all(in_caller, version, key, PageFile::Writes::InCaller);
      write_all(in_background, version, key, PageFile::Writes::InBackground);
      ASSERT_EQ(in_background.bytes(), in_caller.bytes());
      Pager pager(in_background, version, key);
      for (std::uint32_t n : write_order(version)) {
        if (n == 0) continue;  // the header page is the caller's, never encrypted here
        ASSERT_EQ(*pager.page(n), page_of(version, n)) << "page " << n;
      }
    }
  }
}

// A write that fails in the background is raised to the caller, at a later
// write or at the flush, whichever operation it was; nothing hangs, and a
// file that never fails needs no error.
TEST(PageFile, RaisesAFailedBackgroundWriteAndNeverHangs) {
  const Version version = Version::Jet4;
  MemoryFile counted;
  testing::FailAfterFile counting(counted, ~std::uint64_t{0});
  write_all(counting, version, 0, PageFile::Writes::InBackground);
  const std::uint64_t needed = counting.operations();
  ASSERT_GT(needed, 8u);
  for (std::uint64_t budget = 0; budget <= needed; ++budget) {
    SCOPED_TRACE("budget " + std::to_string(budget));
    MemoryFile inner;
    testing::FailAfterFile file(inner, budget);
    if (budget < needed) {
      try {
        write_all(file, version, 0, PageFile::Writes::InBackground);
        FAIL() << "no error";
      } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::Io) << e.what();
      }
    } else {
      EXPECT_NO_THROW(write_all(file, version, 0, PageFile::Writes::InBackground));
      EXPECT_EQ(inner.bytes(), counted.bytes());
    }
  }
}

}  // namespace
}  // namespace jet
