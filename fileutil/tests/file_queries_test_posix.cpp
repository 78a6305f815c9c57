// FileExists and FolderExists through symbolic links.
#include <gtest/gtest.h>

#include <filesystem>

#include "fileutil/file_queries.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(FileQueriesPosixTest, ALinkIsWhatItNames) {
  TemporaryFolder dir;
  WriteFile(dir / "plain.mdb", "x");
  MakeFolder(dir / "folder");
  std::filesystem::create_symlink(dir / "plain.mdb", dir / "link.mdb");
  std::filesystem::create_symlink(dir / "folder", dir / "folder-link");
  std::filesystem::create_symlink(dir / "gone.mdb", dir / "dangling.mdb");
  struct Row {
    std::string path;
    bool file;
    bool folder;
  };
  const Row rows[] = {
      {dir / "link.mdb", true, false},
      {dir / "folder-link", false, true},
      {dir / "dangling.mdb", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FileExists(row.path), row.file) << row.path;
    EXPECT_EQ(FolderExists(row.path), row.folder) << row.path;
  }
}

}  // namespace
}  // namespace dbrepair::testing
