// Copy on a POSIX system: the copy's mode, owner and group, symbolic links,
// and errno values as the handlers' numbers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "as_nobody.h"
#include "platform/file_operations.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(FileOperationsPosixTest, ANewCopyTakesTheSourcesModeAReplacedOneKeepsItsOwn) {
  TempFolder dir;
  WriteFile(dir.file("source.mdb"), "new");
  ::chmod((dir.file("source.mdb")).c_str(), 0640);
  WriteFile(dir.file("old.mdb"), "old content");
  ::chmod((dir.file("old.mdb")).c_str(), 0600);

  CopyFileReplacing(dir.file("source.mdb"), dir.file("new.mdb"));
  CopyFileReplacing(dir.file("source.mdb"), dir.file("old.mdb"));
  struct stat info {};
  ASSERT_EQ(::stat((dir.file("new.mdb")).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  ASSERT_EQ(::stat((dir.file("old.mdb")).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// A user who cannot give a copy the source's group takes the group's
// permission bits away, so that the copy is open to no one the source is not.
TEST(FileOperationsPosixTest, CopyWithoutTheSourcesGroupDropsTheGroupsBits) {
  TempFolder dir;
  ::chmod(dir.path().c_str(), 0777);
  WriteFile(dir.file("shop.mdb"), "data");
  ::chmod((dir.file("shop.mdb")).c_str(), 0664);  // group root, which nobody is not in
  std::optional<int> copied = AsNobody([&] {
    try {
      CopyFileReplacing(dir.file("shop.mdb"), dir.file("shop.1"));
      return 0;
    } catch (const RuntimeError& error) {
      return 1;
    }
  });
  if (!copied) GTEST_SKIP() << "only root can run this as another user";
  ASSERT_EQ(*copied, 0);
  struct stat info {};
  ASSERT_EQ(::stat((dir.file("shop.1")).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
  EXPECT_EQ(info.st_gid, kNobody);
}

TEST(FileOperationsPosixTest, CopyThroughALinkReplacesTheFileItNames) {
  TempFolder dir;
  WriteFile(dir.file("source.mdb"), "new");
  WriteFile(dir.file("real.mdb"), "old");
  std::filesystem::create_symlink(dir.file("real.mdb"), dir.file("link.mdb"));
  CopyFileReplacing(dir.file("source.mdb"), dir.file("link.mdb"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.mdb")));
  EXPECT_EQ(ReadFile(dir.file("real.mdb")), "new");
}

TEST(FileOperationsPosixTest, SystemErrorsMapToTheirNumbersAndTexts) {
  struct Row {
    int errno_value, number;
    const char* text;
  };
  const Row rows[] = {
      {EACCES, 70, "Permission denied"}, {EROFS, 70, "Permission denied"},
      {ENOSPC, 61, "Disk full"},         {EDQUOT, 61, "Disk full"},
      {EIO, 57, "Device I/O error"},     {EBUSY, 75, "Path/File access error"},
  };
  for (const Row& row : rows) {
    RuntimeError error = FileError(row.errno_value, "/tmp/x");
    EXPECT_EQ(error.Number(), row.number) << row.errno_value;
    EXPECT_EQ(error.Description(), row.text) << row.errno_value;
  }
}

}  // namespace
}  // namespace dbrepair::testing
