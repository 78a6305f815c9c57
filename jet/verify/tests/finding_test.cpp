#include "jet/verify/finding.h"

#include <gtest/gtest.h>

namespace jet {
namespace {

TEST(Finding, FormatsLikeADecodeErrorWithItsSeverity) {
  struct Row {
    Finding finding;
    const char* text;
  };
  const Row rows[] = {
      {{Severity::Error, 12, "data page", "row 3 offset", "leaves the page"},
       "error: page 12: data page, row 3 offset: leaves the page"},
      {{Severity::Warning, std::nullopt, "header", "", "odd"}, "warning: header: odd"},
      {{Severity::Info, 0, "", "code page", "unknown"}, "info: page 0: code page: unknown"},
      {{Severity::Info, std::nullopt, "", "", "bare"}, "info: bare"},
  };
  for (const Row& row : rows) EXPECT_EQ(format_finding(row.finding), row.text);
}

TEST(Finding, KeepsTheLocationOfADecodeError) {
  Error error(ErrorCode::Corrupt, Location{7, "table definition", "column count"}, "too many");
  Finding finding = finding_from_error(error, Severity::Warning);
  EXPECT_EQ(finding, (Finding{Severity::Warning, 7, "table definition", "column count", "too many"}));
}

TEST(FindingList, CountsEverythingButKeepsOnlyUpToItsLimit) {
  FindingList findings(2);
  for (int i = 0; i < 5; ++i) findings.add(Severity::Error, i, "s", "f", "m");
  findings.add(Severity::Info, 9, "s", "f", "m");
  EXPECT_EQ(findings.items().size(), 2u);
  EXPECT_EQ(findings.total(), 6u);
  EXPECT_EQ(findings.omitted(), 4u);
  EXPECT_EQ(findings.count(Severity::Error), 5u);
  EXPECT_EQ(format_report(findings),
            "error: page 0: s, f: m\n"
            "error: page 1: s, f: m\n"
            "(4 more findings not shown)\n"
            "5 errors, 0 warnings, 1 note\n");
}

TEST(FindingList, IsCleanWhenNothingIsAboveInfo) {
  FindingList findings;
  EXPECT_TRUE(findings.clean());
  EXPECT_EQ(findings.worst(), std::nullopt);
  EXPECT_EQ(format_report(findings), "no problems found\n");
  findings.add(Severity::Info, 8, "page", "type", "discarded table definition");
  EXPECT_TRUE(findings.clean());
  EXPECT_EQ(findings.worst(), Severity::Info);
  findings.add(Severity::Warning, 9, "page", "owner", "unused");
  EXPECT_FALSE(findings.clean());
  EXPECT_EQ(findings.worst(), Severity::Warning);
}

}  // namespace
}  // namespace jet
