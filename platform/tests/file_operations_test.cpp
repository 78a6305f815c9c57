// Whole-file copy and delete, and their run-time errors.
#include "platform/file_operations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "as_nobody.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

int ErrorNumberOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const RuntimeError& error) {
    return error.number();
  }
  return 0;
}

TEST(FileOperationsTest, CopyCreatesAndReplacesWholeFiles) {
  TemporaryFolder dir;
  std::string big(3 << 20, 'x');
  big[12345] = 'y';
  WriteFile(dir / "source.mdb", big);
  ::chmod((dir / "source.mdb").c_str(), 0640);
  WriteFile(dir / "old.mdb", "old content");
  ::chmod((dir / "old.mdb").c_str(), 0600);

  CopyFileReplacing(dir / "source.mdb", dir / "new.mdb");
  CopyFileReplacing(dir / "source.mdb", dir / "old.mdb");
  EXPECT_EQ(ReadFile(dir / "new.mdb"), big);
  EXPECT_EQ(ReadFile(dir / "old.mdb"), big);
  // A new file takes the source's mode, a replaced one keeps its own.
  struct stat info {};
  ASSERT_EQ(::stat((dir / "new.mdb").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  ASSERT_EQ(::stat((dir / "old.mdb").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"new.mdb", "old.mdb", "source.mdb"}));
}

// A user who cannot give a copy the source's group takes the group's
// permission bits away, so that the copy is open to no one the source is not.
TEST(FileOperationsTest, CopyWithoutTheSourcesGroupDropsTheGroupsBits) {
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

TEST(FileOperationsTest, CopyThroughALinkReplacesTheFileItNames) {
  TemporaryFolder dir;
  WriteFile(dir / "source.mdb", "new");
  WriteFile(dir / "real.mdb", "old");
  std::filesystem::create_symlink(dir / "real.mdb", dir / "link.mdb");
  CopyFileReplacing(dir / "source.mdb", dir / "link.mdb");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.mdb"));
  EXPECT_EQ(ReadFile(dir / "real.mdb"), "new");
}

TEST(FileOperationsTest, FailedCopyLeavesTheDestinationAndNoTemporaryFile) {
  TemporaryFolder dir;
  WriteFile(dir / "source.mdb", "new");
  WriteFile(dir / "dest.mdb", "old");
  WriteFile(dir / "read-only.mdb", "kept");
  ::chmod((dir / "read-only.mdb").c_str(), 0444);
  MakeFolder(dir / "folder");
  struct Row {
    std::string source, destination;
    int number;
  };
  const Row rows[] = {
      {dir / "missing.mdb", dir / "dest.mdb", kErrFileNotFound},
      {dir / "nowhere/x.mdb", dir / "dest.mdb", kErrPathNotFound},
      {dir / "folder", dir / "dest.mdb", kErrPathFileAccess},
      {dir / "source.mdb", dir / "folder", kErrPathFileAccess},
      {dir / "source.mdb", dir / "nowhere/dest.mdb", kErrPathNotFound},
      {dir / "source.mdb", dir / "source.mdb/x", kErrPathNotFound},
      {dir / "source.mdb", dir / "READ-ONLY.MDB", kErrPathFileAccess},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(row.source, row.destination); }), row.number)
        << row.source << " -> " << row.destination;
  }
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir / "read-only.mdb"); }), kErrPathFileAccess);
  EXPECT_EQ(ReadFile(dir / "dest.mdb"), "old");
  EXPECT_EQ(ReadFile(dir / "read-only.mdb"), "kept");
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"dest.mdb", "folder", "read-only.mdb", "source.mdb"}));
}

TEST(FileOperationsTest, DeleteRemovesExactlyOneFile) {
  TemporaryFolder dir;
  WriteFile(dir / "shop.mdb", "x");
  WriteFile(dir / "shop.bak", "x");
  MakeFolder(dir / "folder");
  DeleteFile(dir / "shop.mdb");
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"folder", "shop.bak"}));

  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir / "shop.mdb"); }), kErrFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir / "nowhere/shop.mdb"); }), kErrPathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir / "folder"); }), kErrPathFileAccess);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(""); }), kErrFileNotFound);
  EXPECT_TRUE(PathExists(dir / "folder"));
}

TEST(FileOperationsTest, SystemErrorsMapToTheirNumbersAndTexts) {
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
