// Special folders of a Wine prefix laid out by hand.
#include "platform/special_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(WineSpecialFoldersTest, FindsTheFoldersOfAPrefixWithoutRegardToCase) {
  TempFolder home;
  std::string prefix = home.file(".wine");
  MakeFolder(prefix + "/drive_c/users/kim/documents");
  MakeFolder(prefix + "/drive_c/program files");
  MakeFolder(prefix + "/drive_c/Program Files (x86)");
  MakeFolder(prefix + "/drive_c/ProgramData");
  WineSpecialFolders folders(WineEnvironment{prefix, "kim", home.file("Documents")});
  EXPECT_EQ(folders.FolderPath(kFolderPersonal), prefix + "/drive_c/users/kim/documents");
  EXPECT_EQ(folders.FolderPath(kFolderProgramFiles), prefix + "/drive_c/program files");
  EXPECT_EQ(folders.FolderPath(kFolderProgramFilesX86), prefix + "/drive_c/Program Files (x86)");
  EXPECT_EQ(folders.FolderPath(kFolderCommonAppData), prefix + "/drive_c/ProgramData");
  EXPECT_EQ(folders.FolderPath(7), "");
  EXPECT_EQ(folders.DriveC(), prefix + "/drive_c");
}

TEST(WineSpecialFoldersTest, DocumentsFallBackToTheDesktopsAndMissingFoldersAreEmpty) {
  TempFolder home;
  MakeFolder(home.file("Dokumente"));
  MakeFolder(home.file(".wine/drive_c/users/kim"));  // no Documents there
  WineSpecialFolders folders(WineEnvironment{home.file(".wine"), "kim", home.file("Dokumente")});
  EXPECT_EQ(folders.FolderPath(kFolderPersonal), home.file("Dokumente"));
  EXPECT_EQ(folders.FolderPath(kFolderProgramFiles), "");
  EXPECT_EQ(folders.FolderPath(kFolderCommonAppData), "");

  WineSpecialFolders no_prefix(WineEnvironment{home.file("none"), "kim", home.file("none-either")});
  EXPECT_EQ(no_prefix.FolderPath(kFolderPersonal), "");
  EXPECT_EQ(no_prefix.DriveC(), "");
}

TEST(WineEnvironmentTest, PrefixAndDocumentsComeFromTheEnvironment) {
  TempFolder home;
  WriteFile(home.file(".config/user-dirs.dirs"), "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", home.path().c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("WINEPREFIX", "/srv/prefix", 1);
  WineEnvironment with_prefix = WineEnvironment::FromProcess();
  ::unsetenv("WINEPREFIX");
  WineEnvironment without_prefix = WineEnvironment::FromProcess();
  ::setenv("HOME", saved_home.c_str(), 1);
  EXPECT_EQ(with_prefix.prefix, "/srv/prefix");
  EXPECT_EQ(without_prefix.prefix, home.file(".wine"));
  EXPECT_EQ(with_prefix.xdgDocuments, home.file("Papers"));
  EXPECT_FALSE(with_prefix.user.empty());
}

}  // namespace
}  // namespace dbrepair::testing
