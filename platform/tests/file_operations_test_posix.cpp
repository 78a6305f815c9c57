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
  TemporaryFolder dir;
  WriteFile(dir / "source.mdb", "new");
  ::chmod((dir / "source.mdb").c_str(), 0640);
  WriteFile(dir / "old.mdb", "old content");
  ::chmod((dir / "old.mdb").c_str(), 0600);

  CopyFileReplacing(dir / "source.mdb", dir / "new.mdb");
  CopyFileReplacing(dir / "source.mdb", dir / "old.mdb");
  struct stat info {};
  ASSERT_EQ(::stat((dir / "new.mdb").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  ASSERT_EQ(::stat((dir / "old.mdb").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// A user who cannot give a copy the source's group takes the group's
// permission bits away, so that the copy is open to no one the source is not.
TEST(FileOperationsPosixTest, CopyWithoutTheSourcesGroupDropsTheGroupsBits) {
  TemporaryFolder dir;
  ::chmod(dir.path().c_str(), 0777);
  WriteFile(dir / "shop.mdb", "data");
  ::chmod((dir / "shop.mdb").c_str(), 0664);  // group root, which nobody is not in
  std::optional<int> copied = AsNobody([&] {
    try {
      CopyFileReplacing(dir / "shop.mdb", dir / "shop.1");
      return 0;
    } catch (const RuntimeError& error) {
      return 1;
    }
  });
  if (!copied) GTEST_SKIP() << "only root can run this as another user";
  ASSERT_EQ(*copied, 0);
  struct stat info {};
  ASSERT_EQ(::stat((dir / "shop.1").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);
  EXPECT_EQ(info.st_gid, kNobody);
}

TEST(FileOperationsPosixTest, CopyThroughALinkReplacesTheFileItNames) {
  TemporaryFolder dir;
  WriteFile(dir / "source.mdb", "new");
  WriteFile(dir / "real.mdb", "old");
  std::filesystem::create_symlink(dir / "real.mdb", dir / "link.mdb");
  CopyFileReplacing(dir / "source.mdb", dir / "link.mdb");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.mdb"));
  EXPECT_EQ(ReadFile(dir / "real.mdb"), "new");
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
    EXPECT_EQ(error.number(), row.number) << row.errno_value;
    EXPECT_EQ(error.description(), row.text) << row.errno_value;
  }
}

}  // namespace
}  // namespace dbrepair::testing
