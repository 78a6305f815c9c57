// Special folders of a Wine prefix laid out by hand.
#include "platform/special_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(WineSpecialFoldersTest, FindsTheFoldersOfAPrefixWithoutRegardToCase) {
  TemporaryFolder home;
  std::string prefix = home / ".wine";
  MakeFolder(prefix + "/drive_c/users/kim/documents");
  MakeFolder(prefix + "/drive_c/program files");
  MakeFolder(prefix + "/drive_c/Program Files (x86)");
  MakeFolder(prefix + "/drive_c/ProgramData");
  WineSpecialFolders folders(WineEnvironment{prefix, "kim", home / "Documents"});
  EXPECT_EQ(folders.folderPath(kFolderPersonal), prefix + "/drive_c/users/kim/documents");
  EXPECT_EQ(folders.folderPath(kFolderProgramFiles), prefix + "/drive_c/program files");
  EXPECT_EQ(folders.folderPath(kFolderProgramFilesX86), prefix + "/drive_c/Program Files (x86)");
  EXPECT_EQ(folders.folderPath(kFolderCommonAppData), prefix + "/drive_c/ProgramData");
  EXPECT_EQ(folders.folderPath(7), "");
  EXPECT_EQ(folders.driveC(), prefix + "/drive_c");
}

TEST(WineSpecialFoldersTest, DocumentsFallBackToTheDesktopsAndMissingFoldersAreEmpty) {
  TemporaryFolder home;
  MakeFolder(home / "Dokumente");
  MakeFolder(home / ".wine/drive_c/users/kim");  // no Documents there
  WineSpecialFolders folders(WineEnvironment{home / ".wine", "kim", home / "Dokumente"});
  EXPECT_EQ(folders.folderPath(kFolderPersonal), home / "Dokumente");
  EXPECT_EQ(folders.folderPath(kFolderProgramFiles), "");
  EXPECT_EQ(folders.folderPath(kFolderCommonAppData), "");

  WineSpecialFolders no_prefix(WineEnvironment{home / "none", "kim", home / "none-either"});
  EXPECT_EQ(no_prefix.folderPath(kFolderPersonal), "");
  EXPECT_EQ(no_prefix.driveC(), "");
}

TEST(WineEnvironmentTest, PrefixAndDocumentsComeFromTheEnvironment) {
  TemporaryFolder home;
  WriteFile(home / ".config/user-dirs.dirs", "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n");
  const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", home.path().c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("WINEPREFIX", "/srv/prefix", 1);
  WineEnvironment with_prefix = WineEnvironment::FromProcess();
  ::unsetenv("WINEPREFIX");
  WineEnvironment without_prefix = WineEnvironment::FromProcess();
  ::setenv("HOME", saved_home.c_str(), 1);
  EXPECT_EQ(with_prefix.prefix, "/srv/prefix");
  EXPECT_EQ(without_prefix.prefix, home / ".wine");
  EXPECT_EQ(with_prefix.xdgDocuments, home / "Papers");
  EXPECT_FALSE(with_prefix.user.empty());
}

}  // namespace
}  // namespace dbrepair::testing
