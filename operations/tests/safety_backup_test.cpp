// The numbered safety backup.
#include "operations/safety_backup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "faulty_file_system.h"
#include "platform/file_operations.h"
#include "scripted_user_interface.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

struct NumberRow {
  const char* name;
  std::string data_file;               // relative to the folder
  std::vector<std::string> present;    // files there besides the data file
  std::string expected;                // the new backup's name
};

class SafetyBackupNumberTest : public ::testing::TestWithParam<NumberRow> {};

TEST_P(SafetyBackupNumberTest, TakesTheLowestFreeNumber) {
  const NumberRow& row = GetParam();
  TempFolder dir;
  WriteFile(dir.file(row.data_file), "data");
  for (const auto& name : row.present) WriteFile(dir.file(name), "older");
  ScriptedUserInterface ui;
  FaultyFileSystem files;

  EXPECT_TRUE(MakeNumberedBackup(dir.file(row.data_file), ui, files));
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ReadFile(dir.file(row.expected)), "data");
  for (const auto& name : row.present) EXPECT_EQ(ReadFile(dir.file(name)), name == row.data_file ? "data" : "older");
  EXPECT_EQ(files.changes.size(), 1u);
}

std::vector<std::string> Numbered(const std::string& bare, int from, int to) {
  std::vector<std::string> names;
  for (int n = from; n <= to; ++n) names.push_back(bare + "." + std::to_string(n));
  return names;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SafetyBackupNumberTest,
    ::testing::Values(NumberRow{"First", "shop.mdb", {}, "shop.1"},
                      NumberRow{"FillsTheLowestGap", "shop.mdb", {"shop.1", "shop.3"}, "shop.2"},
                      NumberRow{"TenthHasNoLeadingZero", "shop.mdb", Numbered("shop", 1, 9), "shop.10"},
                      NumberRow{"LastNumber", "shop.mdb", Numbered("shop", 1, 999), "shop.1000"},
                      NumberRow{"NoExtension", "shop", {}, "shop.1"},
                      NumberRow{"SeveralDots", "shop.2009.mdb", {"shop.1"}, "shop.2"},
                      NumberRow{"SharedBareName", "shop.old.mdb", {"shop.mdb", "shop.1"}, "shop.2"},
                      NumberRow{"DataFileNamedLikeABackup", "shop.1", {}, "shop.2"},
                      NumberRow{"DotInFolderName", "my.files/shop", {}, "my.files/shop.1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SafetyBackupTest, AllNumbersTakenRefusesAndWritesNothing) {
  TempFolder dir;
  WriteFile(dir.file("shop.mdb"), "data");
  for (const auto& name : Numbered("shop", 1, 1000)) WriteFile(dir.file(name), "older");
  ScriptedUserInterface ui;
  FaultyFileSystem files;
  EXPECT_FALSE(MakeNumberedBackup(dir.file("shop.mdb"), ui, files));
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{"Error- 1000 backup files exit in the current directory.  Process aborted.",
                                              kButtonsOk, "Backup Error"}}));
  EXPECT_TRUE(files.changes.empty());
  EXPECT_EQ(dir.entries().size(), 1001u);
}

TEST(SafetyBackupTest, NoFileToBackUpGoesOnWithoutCopy) {
  TempFolder dir;
  MakeFolder(dir.file("folder.mdb"));
  for (const std::string& path : {std::string(), dir.file("missing.mdb"), dir.file("folder.mdb")}) {
    ScriptedUserInterface ui;
    FaultyFileSystem files;
    EXPECT_TRUE(MakeNumberedBackup(path, ui, files)) << path;
    EXPECT_TRUE(files.changes.empty()) << path;
    EXPECT_TRUE(ui.boxes.empty()) << path;
  }
}

TEST(SafetyBackupTest, FolderInTheWayCountsAsFreeAndTheCopyFails) {
  TempFolder dir;
  WriteFile(dir.file("shop.mdb"), "data");
  MakeFolder(dir.file("shop.1"));
  ScriptedUserInterface ui;
  FaultyFileSystem files;
  try {
    MakeNumberedBackup(dir.file("shop.mdb"), ui, files);
    FAIL() << "the copy onto a folder succeeded";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), kErrPathFileAccess);
  }
  EXPECT_EQ(ListFolder(dir.file("shop.1")).size(), 0u);
}

TEST(SafetyBackupTest, BareFileNameIsBackedUpInTheCurrentFolder) {
  TempFolder dir;
  WriteFile(dir.file("shop.mdb"), "data");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ScriptedUserInterface ui;
  FaultyFileSystem files;
  bool made = MakeNumberedBackup("shop.mdb", ui, files);
  std::filesystem::current_path(before);
  EXPECT_TRUE(made);
  EXPECT_EQ(ReadFile(dir.file("shop.1")), "data");
}

}  // namespace
}  // namespace dbrepair::testing
