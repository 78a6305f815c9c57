// Matching Windows names against the disk without regard to case.
#include "platform/case_insensitive_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(CaseInsensitivePathTest, ListsTheSpellingFoundOnDisk) {
  TemporaryFolder dir;
  WriteFile(dir / "corvane software/Kelvara Tally/DATA/KVTLY.MDB", "x");
  MakeFolder(dir / "Twice/a");
  MakeFolder(dir / "Twice/A");
  struct Row {
    std::string given, expected;
  };
  const Row rows[] = {
      {dir / "Corvane Software/kelvara tally/data/kvtly.mdb",
       dir / "corvane software/Kelvara Tally/DATA/KVTLY.MDB"},
      {dir / "CORVANE SOFTWARE/missing/data/kvtly.mdb", dir / "corvane software/missing/data/kvtly.mdb"},
      {dir / "Twice/a", dir / "Twice/a"},  // an exact match wins
      {dir / "twice/", dir / "Twice/"},
      {"/", "/"},
  };
  for (const Row& row : rows) EXPECT_EQ(ResolveWithoutCase(row.given), row.expected) << row.given;
}

TEST(CaseInsensitivePathTest, RelativePathsStayRelative) {
  TemporaryFolder dir;
  WriteFile(dir / "Penwick Office/Data/PW.mdb", "x");
  std::string before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::string resolved = ResolveWithoutCase("penwick office/data/pw.mdb");
  std::filesystem::current_path(before);
  EXPECT_EQ(resolved, "Penwick Office/Data/PW.mdb");
}

}  // namespace
}  // namespace dbrepair::testing
