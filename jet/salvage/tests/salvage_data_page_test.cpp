#include "jet/salvage/salvage_data_page.h"

#include <gtest/gtest.h>

#include <vector>

namespace jet {
namespace {

// A Jet 4 data page with the given raw slots and a distinct byte filling
// each row's space, so a test can see which bytes a row was given.
struct PageBuilder {
  std::vector<std::uint8_t> page = std::vector<std::uint8_t>(4096, 0);
  explicit PageBuilder(std::vector<std::uint16_t> slots, std::uint16_t count_field) {
    page[0] = 0x01;
    page[1] = 0x01;
    store_u32(&page[4], 42);
    store_u16(&page[12], count_field);
    for (std::size_t i = 0; i < slots.size(); ++i) store_u16(&page[14 + 2 * i], slots[i]);
  }
};

std::vector<std::pair<int, std::size_t>> bounds(const RecoveredDataPage& page, const std::vector<std::uint8_t>& bytes) {
  std::vector<std::pair<int, std::size_t>> out;
  for (const auto& row : page.rows) {
    out.push_back({row.number, static_cast<std::size_t>(row.bytes.data() - bytes.data())});
    out.push_back({row.number, row.bytes.size()});
  }
  return out;
}

TEST(RecoverDataPage, BoundsRowsByTheNextStartAndReportsSlotsThatCannotBeRows) {
  struct Row {
    const char* name;
    std::vector<std::uint16_t> slots;
    std::uint16_t count;
    std::vector<std::pair<int, std::size_t>> expected;  // (slot, start), (slot, length) pairs
    std::vector<std::uint8_t> lost;
    bool rebuilt;
  } rows[] = {
      {"sound page", {4000, 3900, 3800}, 3,
       {{0, 4000}, {0, 96}, {1, 3900}, {1, 100}, {2, 3800}, {2, 100}}, {}, false},
      {"a deleted row keeps its space", {4000, 0x8000 | 3900, 3800}, 3,
       {{0, 4000}, {0, 96}, {1, 3900}, {1, 100}, {2, 3800}, {2, 100}}, {}, false},
      {"an offset past the page end", {4000, 0x1FFF, 3800}, 3,
       {{0, 4000}, {0, 96}, {2, 3800}, {2, 200}}, {1}, true},
      {"an offset into the offset table", {4000, 10, 3800}, 3,
       {{0, 4000}, {0, 96}, {2, 3800}, {2, 200}}, {1}, true},
      {"a row count that runs into the rows", {4000, 3900}, 60000,
       {{0, 4000}, {0, 96}, {1, 3900}, {1, 100}}, {}, true},
      {"deleted rows left with the page end as offset", {4000, 0xC000 | 4096, 0x8000 | 4096, 3800}, 4,
       {{0, 4000}, {0, 96}, {3, 3800}, {3, 200}}, {}, false},
      {"rows out of slot order", {3800, 4000, 3900}, 3,
       {{0, 3800}, {0, 100}, {1, 4000}, {1, 96}, {2, 3900}, {2, 100}}, {}, false},
  };
  for (const auto& row : rows) {
    PageBuilder builder(row.slots, row.count);
    auto recovered = recover_data_page(builder.page, Version::Jet4);
    EXPECT_EQ(recovered.owner, 42u) << row.name;
    EXPECT_EQ(bounds(recovered, builder.page), row.expected) << row.name;
    EXPECT_EQ(recovered.lost_slots, row.lost) << row.name;
    EXPECT_EQ(recovered.offsets_rebuilt, row.rebuilt) << row.name;
  }
}

// A damaged offset that still lies inside the page: the rows that keep the
// slot order are bounded by each other, so the damaged start cannot cut the
// row it falls into, and the row whose end the damaged slot gave is marked
// as having a guessed end.
TEST(RecoverDataPage, BoundsRowsInSlotOrderPastADamagedOffset) {
  struct Row {
    const char* name;
    std::vector<std::uint16_t> slots;
    std::vector<std::pair<int, std::size_t>> expected;
    std::vector<int> guessed_ends;
  } rows[] = {
      {"sound page", {4000, 3900, 3800, 3700, 3600},
       {{0, 4000}, {0, 96}, {1, 3900}, {1, 100}, {2, 3800}, {2, 100}, {3, 3700}, {3, 100}, {4, 3600}, {4, 100}}, {}},
      {"slot 1 damaged to fall inside row 4", {4000, 3650, 3800, 3700, 3600},
       {{0, 4000}, {0, 96}, {1, 3650}, {1, 50}, {2, 3800}, {2, 200}, {3, 3700}, {3, 100}, {4, 3600}, {4, 100}}, {2}},
      {"slot 3 lost", {4000, 3900, 3800, 0x1FFF, 3600},
       {{0, 4000}, {0, 96}, {1, 3900}, {1, 100}, {2, 3800}, {2, 100}, {4, 3600}, {4, 200}}, {4}},
  };
  for (const auto& row : rows) {
    PageBuilder builder(row.slots, static_cast<std::uint16_t>(row.slots.size()));
    auto recovered = recover_data_page(builder.page, Version::Jet4);
    EXPECT_EQ(bounds(recovered, builder.page), row.expected) << row.name;
    std::vector<int> guessed;
    for (const auto& r : recovered.rows) {
      if (r.end_unknown) guessed.push_back(r.number);
    }
    EXPECT_EQ(guessed, row.guessed_ends) << row.name;
  }
}

TEST(RecoverDataPage, KeepsEverySlotWithinThePageOnNoise) {
  std::vector<std::uint8_t> page(2048);
  std::uint32_t state = 12345;
  for (int round = 0; round < 200; ++round) {
    for (auto& byte : page) byte = static_cast<std::uint8_t>((state = state * 1103515245 + 12345) >> 16);
    page[0] = 0x01;
    auto recovered = recover_data_page(page, Version::Jet3);
    for (const auto& row : recovered.rows) {
      ASSERT_GE(row.bytes.data(), page.data() + 10);
      ASSERT_LE(row.bytes.data() + row.bytes.size(), page.data() + page.size());
    }
  }
}

}  // namespace
}  // namespace jet
