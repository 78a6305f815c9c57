// FileExists, FolderExists, GetFileDate and GetSpecialFolderPath.
#include "fileutil/file_queries.h"
#include "fileutil/parse_path.h"

#include <gtest/gtest.h>

#include "temporary_folder.h"
#include "time_zone.h"

namespace dbrepair::testing {
namespace {

TEST(FileQueriesTest, ExistenceOfFilesAndFolders) {
  TemporaryFolder dir;
  WriteFile(dir / "plain.mdb", "x");
  WriteFile(dir / ".hidden.mdb", "x");
  ASSERT_TRUE(MakeReadOnly(dir / ".hidden.mdb"));
  MakeFolder(dir / "folder");

  struct Row {
    std::string path;
    bool file;
    bool folder;
  };
  const Row rows[] = {
      {dir / "plain.mdb", true, false},      {dir / ".hidden.mdb", true, false},
      {dir / "folder", false, true},         {dir / "folder/", false, true},
      {dir / "missing.mdb", false, false},   {dir / "plain.mdb/x", false, false},
      {"", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FileExists(row.path), row.file) << row.path;
    EXPECT_EQ(FolderExists(row.path), row.folder) << row.path;
  }
}

TEST(FileQueriesTest, FileDateIsTheLastWriteInUtcToTheSecond) {
  TemporaryFolder dir;
  WriteFile(dir / "shop.bak", "x");
  // 14 March 2009, 08:05:09.500 UTC, whatever the local time zone.
  SetModificationTime(dir / "shop.bak", 1237017909, 500);
  SetLocalTimeZone("NZST-12NZDT");
  EXPECT_EQ(GetFileDate(dir / "shop.bak"), Date::FromParts(2009, 3, 14, 8, 5, 9));
  SetLocalTimeZone(nullptr);
}

TEST(FileQueriesTest, FileDateOfWhatCannotBeOpenedIsTheZeroDate) {
  TemporaryFolder dir;
  MakeFolder(dir / "folder");
  for (const std::string& path : {dir / "missing", dir / "folder", std::string()}) {
    EXPECT_TRUE(GetFileDate(path).isZero()) << path;
  }
}

class FixedFolders : public SpecialFolders {
 public:
  std::string folderPath(int folder) override {
    switch (folder) {
      case kFolderPersonal: return "/home/u/Documents";
      case kFolderProgramFiles: return "/";
      default: return "";
    }
  }
  std::string driveC() override { return ""; }
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
