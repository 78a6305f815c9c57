// Whole-file copy and delete, and their run-time errors, on every system.
#include "platform/file_operations.h"

#include <gtest/gtest.h>

#include "error_number.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(FileOperationsTest, CopyCreatesAndReplacesWholeFiles) {
  TempFolder dir;
  std::string big(3 << 20, 'x');  // beyond one buffer of the copy
  big[12345] = 'y';
  WriteFile(dir.file("source.mdb"), big);
  WriteFile(dir.file("old.mdb"), "old content");

  CopyFileReplacing(dir.file("source.mdb"), dir.file("new.mdb"));
  CopyFileReplacing(dir.file("source.mdb"), dir.file("old.mdb"));
  EXPECT_EQ(ReadFile(dir.file("new.mdb")), big);
  EXPECT_EQ(ReadFile(dir.file("old.mdb")), big);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"new.mdb", "old.mdb", "source.mdb"}));
}

TEST(FileOperationsTest, FailedCopyLeavesTheDestinationAndNoTemporaryFile) {
  TempFolder dir;
  WriteFile(dir.file("source.mdb"), "new");
  WriteFile(dir.file("dest.mdb"), "old");
  WriteFile(dir.file("read-only.mdb"), "kept");
  ASSERT_TRUE(MakeReadOnly(dir.file("read-only.mdb")));
  MakeFolder(dir.file("folder"));
  struct Row {
    std::string source, destination;
    int number;
  };
  const Row rows[] = {
      {dir.file("missing.mdb"), dir.file("dest.mdb"), kErrFileNotFound},
      {dir.file("nowhere/x.mdb"), dir.file("dest.mdb"), kErrPathNotFound},
      {dir.file("folder"), dir.file("dest.mdb"), kErrPathFileAccess},
      {dir.file("source.mdb"), dir.file("folder"), kErrPathFileAccess},
      {dir.file("source.mdb"), dir.file("nowhere/dest.mdb"), kErrPathNotFound},
      {dir.file("source.mdb"), dir.file("source.mdb/x"), kErrPathNotFound},
      {dir.file("source.mdb"), dir.file("READ-ONLY.MDB"), kErrPathFileAccess},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(row.source, row.destination); }), row.number)
        << row.source << " -> " << row.destination;
  }
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir.file("read-only.mdb")); }), kErrPathFileAccess);
  EXPECT_EQ(ReadFile(dir.file("dest.mdb")), "old");
  EXPECT_EQ(ReadFile(dir.file("read-only.mdb")), "kept");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"dest.mdb", "folder", "read-only.mdb", "source.mdb"}));
}

TEST(FileOperationsTest, DeleteRemovesExactlyOneFile) {
  TempFolder dir;
  WriteFile(dir.file("shop.mdb"), "x");
  WriteFile(dir.file("shop.bak"), "x");
  MakeFolder(dir.file("folder"));
  DeleteFile(dir.file("shop.mdb"));
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"folder", "shop.bak"}));

  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir.file("shop.mdb")); }), kErrFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir.file("nowhere/shop.mdb")); }), kErrPathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir.file("folder")); }), kErrPathFileAccess);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(""); }), kErrFileNotFound);
  EXPECT_TRUE(PathExists(dir.file("folder")));
}

}  // namespace
}  // namespace dbrepair::testing
