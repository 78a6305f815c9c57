#include "jet/verify/page_ledger.h"

#include <gtest/gtest.h>

#include <set>

namespace jet {
namespace {

constexpr PageClaim kTable5Data{PageRole::Data, 5};
constexpr PageClaim kTable5Index{PageRole::Index, 5};
constexpr PageClaim kTable9Data{PageRole::Data, 9};

TEST(PageLedger, ReportsEachPageHeldByTwoOwnersAndEachPageOutsideTheFile) {
  struct Claim {
    std::uint32_t page;
    PageClaim claim;
    bool accepted;
  };
  struct Row {
    const char* name;
    std::vector<Claim> claims;
    std::size_t errors;
  };
  const Row rows[] = {
      {"distinct pages", {{3, kTable5Data, true}, {4, kTable9Data, true}}, 0},
      {"same claim twice", {{3, kTable5Data, true}, {3, kTable5Data, true}}, 0},
      {"two tables", {{3, kTable5Data, true}, {3, kTable9Data, false}}, 1},
      {"two roles of one table", {{3, kTable5Data, true}, {3, kTable5Index, false}}, 1},
      {"first owner kept", {{3, kTable5Data, true}, {3, kTable9Data, false}, {3, kTable5Data, true}}, 1},
      {"past the end", {{10, kTable5Data, false}, {99999, kTable5Data, false}}, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PageLedger ledger(10);
    FindingList findings;
    for (const Claim& claim : row.claims) {
      EXPECT_EQ(ledger.claim(claim.page, claim.claim, findings), claim.accepted);
    }
    EXPECT_EQ(findings.count(Severity::Error), row.errors);
  }
}

// A claim is kept in four bytes: every role with the widest table page a
// table id can name comes back as it went in; a wider one is refused.
TEST(PageLedger, KeepsEveryRoleAndTwentyFourBitTablePage) {
  PageLedger ledger(9);
  FindingList findings;
  for (PageRole role : {PageRole::Header, PageRole::FreeSpaceMap, PageRole::TableDefinition, PageRole::Data,
                        PageRole::LongValue, PageRole::Index, PageRole::UsageMap}) {
    const auto page = static_cast<std::uint32_t>(role);
    const PageClaim claim{role, 0xFFFFFFu - page};
    ASSERT_TRUE(ledger.claim(page, claim, findings));
    EXPECT_EQ(ledger.at(page), claim);
  }
  EXPECT_EQ(ledger.at(8), PageClaim{});
  EXPECT_THROW(ledger.claim(8, {PageRole::Data, 0x1000000u}, findings), Error);
  EXPECT_EQ(ledger.at(8), PageClaim{});
}

TEST(PageLedger, SetsClaimedPagesAgainstTheFreeMap) {
  PageLedger ledger(6);
  FindingList findings;
  ledger.claim(0, {PageRole::Header, 0}, findings);
  ledger.claim(2, {PageRole::TableDefinition, 2}, findings);
  ledger.claim(3, kTable5Data, findings);
  // Free: 3 (claimed, so wrong) and 5; 1 and 4 are neither claimed nor free.
  std::set<std::uint32_t> free{3, 5};
  auto unaccounted = ledger.compare_with_free_map([&](std::uint32_t p) { return free.count(p) > 0; }, findings);
  EXPECT_EQ(unaccounted, (std::vector<std::uint32_t>{1, 4}));
  ASSERT_EQ(findings.items().size(), 1u);
  EXPECT_EQ(findings.items()[0].page, 3u);
  EXPECT_EQ(findings.items()[0].severity, Severity::Error);
}

}  // namespace
}  // namespace jet
