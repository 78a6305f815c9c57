#include "jet/read/page_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <random>

namespace jet {
namespace {

Page page_for(std::uint32_t n) { return std::make_shared<const std::vector<std::uint8_t>>(1, static_cast<std::uint8_t>(n)); }

// The cache against the plainest model of a least-recently-used cache, over
// long random mixes of lookups, inserts and clears: which pages it holds,
// which page each insert gives up, and what each lookup returns.
TEST(PageCache, AgreesWithAListModel) {
  struct Case {
    const char* name;
    std::size_t capacity;
    std::uint32_t numbers;  // page numbers drawn from [0, numbers) * stride
    std::uint32_t stride;
  };
  for (const Case& c : {Case{"one page", 1, 4, 1}, Case{"two pages", 2, 6, 1},
                        Case{"a few, dense numbers", 7, 20, 1},
                        Case{"numbers that share home slots", 16, 64, 32},
                        Case{"a pager's window over a large file", 64, 400, 1},
                        Case{"sparse numbers up to the largest page", 64, 300, 0xFFFFFF / 300}}) {
    SCOPED_TRACE(c.name);
    PageCache cache(c.capacity);
    std::list<std::pair<std::uint32_t, Page>> model;  // most recent first
    std::mt19937 random(42);
    for (int step = 0; step < 20000; ++step) {
      const std::uint32_t n = static_cast<std::uint32_t>(random() % c.numbers) * c.stride;
      auto in_model = std::find_if(model.begin(), model.end(), [&](const auto& e) { return e.first == n; });
      const int action = static_cast<int>(random() % 100);
      if (action == 0) {
        cache.clear();
        model.clear();
      } else if (in_model != model.end()) {
        const Page* got = cache.use(n);
        ASSERT_NE(got, nullptr) << "step " << step << " page " << n;
        ASSERT_EQ(*got, in_model->second);
        model.splice(model.begin(), model, in_model);
      } else {
        ASSERT_EQ(cache.use(n), nullptr) << "step " << step << " page " << n;
        Page page = page_for(n);
        Page expected_evicted;
        model.emplace_front(n, page);
        if (model.size() > c.capacity) {
          expected_evicted = model.back().second;
          model.pop_back();
        }
        ASSERT_EQ(cache.insert(n, page), expected_evicted) << "step " << step << " page " << n;
      }
      ASSERT_EQ(cache.size(), model.size());
      if (step % 97 == 0) {
        for (std::uint32_t k = 0; k < c.numbers; ++k) {
          const std::uint32_t m = k * c.stride;
          const bool held = std::any_of(model.begin(), model.end(), [&](const auto& e) { return e.first == m; });
          ASSERT_EQ(cache.contains(m), held) << "step " << step << " page " << m;
        }
      }
    }
  }
}

}  // namespace
}  // namespace jet
