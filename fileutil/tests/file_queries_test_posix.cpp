// FileExists and FolderExists through symbolic links.
#include <gtest/gtest.h>

#include <filesystem>

#include "fileutil/file_queries.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(FileQueriesPosixTest, ALinkIsWhatItNames) {
  TempFolder dir;
  WriteFile(dir.file("plain.mdb"), "x");
  MakeFolder(dir.file("folder"));
  std::filesystem::create_symlink(dir.file("plain.mdb"), dir.file("link.mdb"));
  std::filesystem::create_symlink(dir.file("folder"), dir.file("folder-link"));
  std::filesystem::create_symlink(dir.file("gone.mdb"), dir.file("dangling.mdb"));
  struct Row {
    std::string path;
    bool file;
    bool folder;
  };
  const Row rows[] = {
      {dir.file("link.mdb"), true, false},
      {dir.file("folder-link"), false, true},
      {dir.file("dangling.mdb"), false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FileExists(row.path), row.file) << row.path;
    EXPECT_EQ(FolderExists(row.path), row.folder) << row.path;
  }
}

}  // namespace
}  // namespace dbrepair::testing
