// Matching Windows names against the disk without regard to case.
#include "platform/case_insensitive_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(CaseInsensitivePathTest, ListsTheSpellingFoundOnDisk) {
  TempFolder dir;
  WriteFile(dir.file("corvane software/Kelvara Tally/DATA/KVTLY.MDB"), "x");
  MakeFolder(dir.file("Twice/a"));
  MakeFolder(dir.file("Twice/A"));
  struct Row {
    std::string given, expected;
  };
  const Row rows[] = {
      {dir.file("Corvane Software/kelvara tally/data/kvtly.mdb"),
       dir.file("corvane software/Kelvara Tally/DATA/KVTLY.MDB")},
      {dir.file("CORVANE SOFTWARE/missing/data/kvtly.mdb"), dir.file("corvane software/missing/data/kvtly.mdb")},
      {dir.file("Twice/a"), dir.file("Twice/a")},  // an exact match wins
      {dir.file("twice/"), dir.file("Twice/")},
      {"/", "/"},
  };
  for (const Row& row : rows) EXPECT_EQ(ResolveWithoutCase(row.given), row.expected) << row.given;
}

TEST(CaseInsensitivePathTest, RelativePathsStayRelative) {
  TempFolder dir;
  WriteFile(dir.file("Penwick Office/Data/PW.mdb"), "x");
  std::string before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  std::string resolved = ResolveWithoutCase("penwick office/data/pw.mdb");
  std::filesystem::current_path(before);
  EXPECT_EQ(resolved, "Penwick Office/Data/PW.mdb");
}

}  // namespace
}  // namespace dbrepair::testing
