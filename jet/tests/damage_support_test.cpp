// The damage helpers decide what the robustness tests cover, so their
// sampling is checked here: a sampler that silently skipped a region would
// leave it untested.
#include "support/damage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace jet::testing {
namespace {

TEST(SamplePositions, CoversSmallRangesWhollyAndLargeOnesEvenly) {
  struct Row {
    std::size_t begin, end, budget;
  };
  const Row rows[] = {{0, 10, 100}, {100, 4196, 300}, {0, 4096, 4096}, {5, 6, 1}, {0, 100000, 7}};
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.begin << ".." << row.end << " budget " << row.budget);
    auto positions = sample_positions(row.begin, row.end, row.budget, 42);
    std::size_t span = row.end - row.begin;
    ASSERT_EQ(positions.size(), std::min(span, row.budget));
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.front(), row.begin);
    EXPECT_EQ(positions.back(), row.end - 1);
    EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end()), positions.end());
    // No gap is wider than two strides: nothing large goes unvisited.
    std::size_t stride = (span + row.budget - 1) / row.budget;
    for (std::size_t i = 1; i < positions.size(); ++i) EXPECT_LE(positions[i] - positions[i - 1], 2 * stride + 1);
    EXPECT_EQ(positions, sample_positions(row.begin, row.end, row.budget, 42)) << "not deterministic";
  }
}

TEST(SweepValues, NeverRewritesTheOriginalByte) {
  for (int original = 0; original < 256; ++original) {
    auto values = sweep_values(static_cast<std::uint8_t>(original));
    EXPECT_GE(values.size(), 2u);
    EXPECT_EQ(std::count(values.begin(), values.end(), original), 0);
  }
}

}  // namespace
}  // namespace jet::testing
