// The candidate paths that discovery tests at start-up.
#include "discovery/product_databases.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fileutil/parse_path.h"

namespace dbrepair::testing {
namespace {

TEST(CandidatePathsTest, FourGroupsOfSevenThenTheFixedPath) {
  // Written with the system's separator: "/", on Windows "\\".
  const char separator = kNativePathStyle == PathStyle::Windows ? '\\' : '/';
  auto native = [&](std::string path) {
    std::replace(path.begin(), path.end(), '/', separator);
    return path;
  };
  auto paths = CandidatePaths(CandidateRoots{native("/docs/"), native("/pf/"), native("/data/"), native("/pf86/"),
                                             native("/c/")});
  EXPECT_EQ(paths[0], native("/docs/kelvara directory/data/kvdir.mdb"));
  EXPECT_EQ(paths[6], native("/docs/penwick office/data/pw.mdb"));
  EXPECT_EQ(paths[7], native("/pf/Corvane Software/kelvara directory/data/kvdir.mdb"));
  EXPECT_EQ(paths[15], native("/data/Corvane Software/kelvara scorebook/data/kvsbk.mdb"));
  EXPECT_EQ(paths[24], native("/pf86/Corvane Software/kelvara tally/data/kvtly.mdb"));
  EXPECT_EQ(paths[28], native("/c/tarrow software/penwick office/data/pw.mdb"));
  // Unresolved roots leave relative paths.
  EXPECT_EQ(CandidatePaths(CandidateRoots{})[13], native("Corvane Software/penwick office/data/pw.mdb"));
  // The fixed path is on drive c: or nowhere, never under the current folder.
  EXPECT_EQ(CandidatePaths(CandidateRoots{})[28], "");
}

}  // namespace
}  // namespace dbrepair::testing
