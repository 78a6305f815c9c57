// Whole-file copy and delete, and their run-time errors, on every system.
#include "platform/file_operations.h"

#include <gtest/gtest.h>

#include "error_number.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(FileOperationsTest, CopyCreatesAndReplacesWholeFiles) {
  TemporaryFolder dir;
  std::string big(3 << 20, 'x');  // beyond one buffer of the copy
  big[12345] = 'y';
  WriteFile(dir / "source.mdb", big);
  WriteFile(dir / "old.mdb", "old content");

  CopyFileReplacing(dir / "source.mdb", dir / "new.mdb");
  CopyFileReplacing(dir / "source.mdb", dir / "old.mdb");
  EXPECT_EQ(ReadFile(dir / "new.mdb"), big);
  EXPECT_EQ(ReadFile(dir / "old.mdb"), big);
  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"new.mdb", "old.mdb", "source.mdb"}));
}

TEST(FileOperationsTest, FailedCopyLeavesTheDestinationAndNoTemporaryFile) {
  TemporaryFolder dir;
  WriteFile(dir / "source.mdb", "new");
  WriteFile(dir / "dest.mdb", "old");
  WriteFile(dir / "read-only.mdb", "kept");
  ASSERT_TRUE(MakeReadOnly(dir / "read-only.mdb"));
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

}  // namespace
}  // namespace dbrepair::testing
