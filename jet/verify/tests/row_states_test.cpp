#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "jet/verify/verify_context.h"

namespace jet {
namespace {

// Pages with gaps between them, one without slots, and lookups on each side
// of every boundary: what an index entry may name, and what it may not.
TEST(RowStates, FindsEachSlotByPageAndRow) {
  RowStates rows;
  rows.add_page(7, 3)[1] = RowState::Live;
  rows.add_page(8, 0);
  rows.add_page(12, 2)[0] = RowState::Moved;
  EXPECT_TRUE(rows.add_page(12, 4).empty()) << "a page added again";
  EXPECT_TRUE(rows.add_page(9, 4).empty()) << "a page below the last one";
  EXPECT_TRUE(rows.add_page(3, 4).empty()) << "a page below the first one";
  rows.add_page(40, 1);
  // Far apart, as a table's pages are among those of other tables.
  rows.add_page(71, 1)[0] = RowState::Live;
  rows.add_page(72, 1);
  rows.add_page(5000, 2)[1] = RowState::Deleted;

  struct Row {
    RowPointer pointer;
    std::optional<std::size_t> slot;
    std::optional<RowState> state;
  };
  const std::vector<Row> lookups = {
      {{6, 0}, std::nullopt, std::nullopt},     {{7, 0}, 0, RowState::Broken},
      {{7, 1}, 1, RowState::Live},              {{7, 2}, 2, RowState::Broken},
      {{7, 3}, std::nullopt, std::nullopt},     {{8, 0}, std::nullopt, std::nullopt},
      {{10, 0}, std::nullopt, std::nullopt},    {{12, 0}, 3, RowState::Moved},
      {{12, 1}, 4, RowState::Broken},           {{12, 2}, std::nullopt, std::nullopt},
      {{40, 0}, 5, RowState::Broken},           {{40, 255}, std::nullopt, std::nullopt},
      {{41, 0}, std::nullopt, std::nullopt},    {{70, 0}, std::nullopt, std::nullopt},
      {{71, 0}, 6, RowState::Live},             {{72, 0}, 7, RowState::Broken},
      {{73, 0}, std::nullopt, std::nullopt},    {{135, 0}, std::nullopt, std::nullopt},
      {{4999, 0}, std::nullopt, std::nullopt},  {{5000, 0}, 8, RowState::Broken},
      {{5000, 1}, 9, RowState::Deleted},        {{5000, 2}, std::nullopt, std::nullopt},
      {{5001, 0}, std::nullopt, std::nullopt},  {{0xFFFFFF, 0}, std::nullopt, std::nullopt},
  };
  for (const Row& r : lookups) {
    EXPECT_EQ(rows.slot_of(r.pointer), r.slot) << "row " << int{r.pointer.row} << " of page " << r.pointer.page;
    EXPECT_EQ(rows.at(r.pointer), r.state) << "row " << int{r.pointer.row} << " of page " << r.pointer.page;
  }
  EXPECT_EQ(rows.slot_count(), 10u);

  std::vector<RowPointer> visited;
  rows.for_each([&](RowPointer pointer, RowState) { visited.push_back(pointer); });
  const std::vector<RowPointer> in_order = {{7, 0},  {7, 1},  {7, 2},    {12, 0},   {12, 1},
                                            {40, 0}, {71, 0}, {72, 0}, {5000, 0}, {5000, 1}};
  EXPECT_EQ(visited, in_order);

  rows.release();
  EXPECT_EQ(rows.slot_count(), 0u);
  EXPECT_EQ(rows.at({7, 1}), std::nullopt);
}

}  // namespace
}  // namespace jet
