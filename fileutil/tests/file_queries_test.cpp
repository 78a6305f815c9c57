// FileExists, FolderExists, GetFileDate and GetSpecialFolderPath.
#include "fileutil/file_queries.h"
#include "fileutil/parse_path.h"

#include <gtest/gtest.h>

#include "temporary_folder.h"
#include "time_zone.h"

namespace dbrepair::testing {
namespace {

TEST(FileQueriesTest, ExistenceOfFilesAndFolders) {
  TempFolder dir;
  WriteFile(dir.file("plain.mdb"), "x");
  WriteFile(dir.file(".hidden.mdb"), "x");
  ASSERT_TRUE(MakeReadOnly(dir.file(".hidden.mdb")));
  MakeFolder(dir.file("folder"));

  struct Row {
    std::string path;
    bool file;
    bool folder;
  };
  const Row rows[] = {
      {dir.file("plain.mdb"), true, false},      {dir.file(".hidden.mdb"), true, false},
      {dir.file("folder"), false, true},         {dir.file("folder/"), false, true},
      {dir.file("missing.mdb"), false, false},   {dir.file("plain.mdb/x"), false, false},
      {"", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FileExists(row.path), row.file) << row.path;
    EXPECT_EQ(FolderExists(row.path), row.folder) << row.path;
  }
}

TEST(FileQueriesTest, FileDateIsTheLastWriteInUtcToTheSecond) {
  TempFolder dir;
  WriteFile(dir.file("shop.bak"), "x");
  // 14 March 2009, 08:05:09.500 UTC, whatever the local time zone.
  SetModificationTime(dir.file("shop.bak"), 1237017909, 500);
  SetLocalTimeZone("NZST-12NZDT");
  EXPECT_EQ(GetFileDate(dir.file("shop.bak")), Date::FromParts(2009, 3, 14, 8, 5, 9));
  SetLocalTimeZone(nullptr);
}

TEST(FileQueriesTest, FileDateOfWhatCannotBeOpenedIsTheZeroDate) {
  TempFolder dir;
  MakeFolder(dir.file("folder"));
  for (const std::string& path : {dir.file("missing"), dir.file("folder"), std::string()}) {
    EXPECT_TRUE(GetFileDate(path).IsZero()) << path;
  }
}

class FixedFolders : public SpecialFolders {
 public:
  std::string FolderPath(int folder) override {
    switch (folder) {
      case kFolderPersonal: return "/home/u/Documents";
      case kFolderProgramFiles: return "/";
      default: return "";
    }
  }
  std::string DriveC() override { return ""; }
};

TEST(FileQueriesTest, SpecialFolderGetsOneSeparatorAppended) {
  FixedFolders folders;
  const std::string separator = kNativePathStyle == PathStyle::Windows ? "\\" : "/";
  EXPECT_EQ(GetSpecialFolderPath(folders, kFolderPersonal), "/home/u/Documents" + separator);
  EXPECT_EQ(GetSpecialFolderPath(folders, kFolderProgramFiles), "/" + separator);
  EXPECT_EQ(GetSpecialFolderPath(folders, kFolderCommonAppData), "");
}

}  // namespace
}  // namespace dbrepair::testing
