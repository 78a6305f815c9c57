// The candidate paths that discovery tests at start-up.
#include "discovery/product_databases.h"

#include <gtest/gtest.h>

namespace dbrepair::testing {
namespace {

TEST(CandidatePathsTest, FourGroupsOfSevenThenTheFixedPath) {
  auto paths = CandidatePaths(CandidateRoots{"/docs/", "/pf/", "/data/", "/pf86/", "/c/"});
  EXPECT_EQ(paths[0], "/docs/kelvara directory/data/kvdir.mdb");
  EXPECT_EQ(paths[6], "/docs/penwick office/data/pw.mdb");
  EXPECT_EQ(paths[7], "/pf/Corvane Software/kelvara directory/data/kvdir.mdb");
  EXPECT_EQ(paths[15], "/data/Corvane Software/kelvara scorebook/data/kvsbk.mdb");
  EXPECT_EQ(paths[24], "/pf86/Corvane Software/kelvara tally/data/kvtly.mdb");
  EXPECT_EQ(paths[28], "/c/tarrow software/penwick office/data/pw.mdb");
  // Unresolved roots leave relative paths.
  EXPECT_EQ(CandidatePaths(CandidateRoots{})[13], "Corvane Software/penwick office/data/pw.mdb");
  // The fixed path is on drive c: or nowhere, never under the current folder.
  EXPECT_EQ(CandidatePaths(CandidateRoots{})[28], "");
}

}  // namespace
}  // namespace dbrepair::testing
