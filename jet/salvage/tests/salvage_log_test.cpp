#include "jet/salvage/salvage_log.h"

#include <gtest/gtest.h>

namespace jet {
namespace {

TEST(SalvageLog, KeepsTheFirstLossesOfEachKindPerTableAndSummarisesTheRest) {
  SalvageLog log(2);
  for (int i = 0; i < 5; ++i) log.record(SalvageCode::RowDropped, "Orders", "row", record_id(10, i));
  log.record(SalvageCode::RowDropped, "Customers", "row", record_id(11, 0));
  for (int i = 0; i < 2; ++i) log.record(SalvageCode::LongValueCut, "Orders", "memo");

  auto entries = log.entries();
  struct Expected {
    SalvageCode code;
    const char* table;
    std::int32_t record_id;
  } expected[] = {
      {SalvageCode::RowDropped, "Orders", 10 * 256 + 0},
      {SalvageCode::RowDropped, "Orders", 10 * 256 + 1},
      {SalvageCode::RowDropped, "Customers", 11 * 256},
      {SalvageCode::LongValueCut, "Orders", 0},
      {SalvageCode::LongValueCut, "Orders", 0},
      {SalvageCode::SummaryOfMore, "Orders", 0},
  };
  ASSERT_EQ(entries.size(), std::size(expected));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].code, static_cast<std::int32_t>(expected[i].code)) << i;
    EXPECT_EQ(entries[i].table, expected[i].table) << i;
    EXPECT_EQ(entries[i].record_id, expected[i].record_id) << i;
  }
  EXPECT_NE(entries.back().description.find("3 more"), std::string::npos) << entries.back().description;
  EXPECT_EQ(log.count(SalvageCode::RowDropped), 6u);
  EXPECT_EQ(log.count(SalvageCode::LongValueCut), 2u);
  EXPECT_EQ(log.count(SalvageCode::PageDropped), 0u);
}

TEST(RecordId, PacksPageAndRowAsTheRecordAddress) {
  EXPECT_EQ(record_id(0, 0), 0);
  EXPECT_EQ(record_id(1, 255), 511);
  EXPECT_EQ(record_id(0x7FFFFF, 255), 0x7FFFFFFF);
}

}  // namespace
}  // namespace jet
