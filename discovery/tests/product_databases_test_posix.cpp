// Product database discovery at start-up, against Wine prefixes laid out by
// hand and one made by Wine itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "discovery/product_databases.h"
#include "operations/local_file_system.h"
#include "scripted_user_interface.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

const ShownBox kNoFiles{
    "No Corvane Software products were found in their default locations.  Use the Browse function to locate "
    "the database you wish to repair.",
    kButtonsOk, "No Files Found"};
const ShownBox kMultiple{
    "Multiple Corvane Software products were found on your computer.  Choose which database you wish to "
    "repair from the dropdown list on the next window.",
    kButtonsOk, "Multiple Files Found"};

class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest()
      : prefix(home.file(".wine")), drive(prefix + "/drive_c"),
        folders(WineEnvironment{prefix, "kim", home.file("Documents")}) {
    MakeFolder(drive + "/users/kim/Documents");
    MakeFolder(drive + "/Program Files");
    MakeFolder(drive + "/Program Files (x86)");
    MakeFolder(drive + "/ProgramData");
  }
  void Discover() { DiscoverProductDatabases(ui, folders, files); }

  TempFolder home;
  std::string prefix;
  std::string drive;
  WineSpecialFolders folders;
  LocalFileSystem files;
  ScriptedUserInterface ui;
};

TEST_F(DiscoveryTest, NothingFoundKeepsTheTextAndShowsTheFirstNotice) {
  Discover();
  EXPECT_TRUE(ui.items.empty());
  EXPECT_EQ(ui.path, "Combo1");
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{kNoFiles});
}

TEST_F(DiscoveryTest, OneFoundIsSelectedWithoutNotice) {
  WriteFile(drive + "/Program Files/Corvane Software/penwick office/data/pw.mdb", "x");
  Discover();
  EXPECT_EQ(ui.items, std::vector<std::string>{drive + "/Program Files/Corvane Software/penwick office/data/pw.mdb"});
  EXPECT_EQ(ui.path, ui.items[0]);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DiscoveryTest, SeveralFoundAreListedInCandidateOrder) {
  std::string company = drive + "/ProgramData/Corvane Software/";
  WriteFile(company + "penwick office/data/pw.mdb", "x");
  WriteFile(company + "kelvara scorebook/data/kvsbk.mdb", "x");
  WriteFile(drive + "/users/kim/Documents/kelvara planner/data/kvpln.mdb", "x");
  Discover();
  EXPECT_EQ(ui.items, (std::vector<std::string>{drive + "/users/kim/Documents/kelvara planner/data/kvpln.mdb",
                                                company + "kelvara scorebook/data/kvsbk.mdb",
                                                company + "penwick office/data/pw.mdb"}));
  EXPECT_EQ(ui.path, ui.items[0]);
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{kMultiple});
}

TEST_F(DiscoveryTest, FixedPathOnDriveCAndWindowsSpellings) {
  WriteFile(drive + "/Tarrow Software/Penwick Office/Data/PW.MDB", "x");
  Discover();
  EXPECT_EQ(ui.items, std::vector<std::string>{drive + "/Tarrow Software/Penwick Office/Data/PW.MDB"});
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DiscoveryTest, ThirtyTwoBitProgramFilesIsSearchedOnce) {
  WriteFile(drive + "/Program Files (x86)/corvane software/kelvara logbook/data/kvlog.mdb", "x");
  WriteFile(drive + "/Program Files/Corvane Software/kelvara logbook/data/kvlog.mdb", "x");
  Discover();
  EXPECT_EQ(ui.items,
            (std::vector<std::string>{drive + "/Program Files/Corvane Software/kelvara logbook/data/kvlog.mdb",
                                      drive + "/Program Files (x86)/corvane software/kelvara logbook/data/kvlog.mdb"}));
}

TEST(DiscoveryWithWineTest, PrefixMadeByWine) {
  if (std::system("command -v wineboot >/dev/null 2>&1") != 0) GTEST_SKIP() << "Wine is not installed";
  TempFolder home;
  std::string prefix = home.file("prefix");
  std::string command = "HOME='" + home.path() + "' WINEPREFIX='" + prefix +
                        "' WINEDEBUG=-all timeout 240 wineboot -i >/dev/null 2>&1; HOME='" + home.path() +
                        "' WINEPREFIX='" + prefix + "' timeout 60 wineserver -w";
  if (std::system(command.c_str()) != 0 || !std::filesystem::exists(prefix + "/drive_c/ProgramData")) {
    GTEST_SKIP() << "wineboot could not make a prefix here";
  }
  std::string user = WineEnvironment::FromProcess().user;
  WineSpecialFolders folders(WineEnvironment{prefix, user, ""});
  ASSERT_FALSE(folders.FolderPath(kFolderPersonal).empty());
  WriteFile(folders.FolderPath(kFolderPersonal) + "/kelvara tally/data/kvtly.mdb", "x");
  WriteFile(prefix + "/drive_c/ProgramData/Corvane Software/kelvara register/data/kvreg.mdb", "x");
  WriteFile(prefix + "/drive_c/Program Files (x86)/Corvane Software/penwick office/data/pw.mdb", "x");

  ScriptedUserInterface ui;
  LocalFileSystem files;
  DiscoverProductDatabases(ui, folders, files);
  ASSERT_EQ(ui.items.size(), 3u);
  EXPECT_EQ(ui.items[0], folders.FolderPath(kFolderPersonal) + "/kelvara tally/data/kvtly.mdb");
  EXPECT_EQ(ui.items[1], prefix + "/drive_c/ProgramData/Corvane Software/kelvara register/data/kvreg.mdb");
  EXPECT_EQ(ui.items[2], prefix + "/drive_c/Program Files (x86)/Corvane Software/penwick office/data/pw.mdb");
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{kMultiple});
}

}  // namespace
}  // namespace dbrepair::testing
