// A path typed in another letter case than the disk's: Linux finds the file
// without regard to case, as Windows does, and the messages name the path as
// spelt on disk. (On Windows the system itself matches the names, and the
// typed text stands.)
#include "form1_fixture.h"

namespace dbrepair::testing {
namespace {

class LetterCaseTest : public Form1Test {};

TEST_F(LetterCaseTest, MissingFileIsNamedAsFarAsItExistsAsSpeltOnDisk) {
  MakeFolder(dir.file("Data"));
  ui.path = dir.file("DATA/Missing.mdb");
  form.Command1_Click();
  EXPECT_EQ(ui.boxes,
            (std::vector<ShownBox>{{"File " + dir.file("Data/Missing.mdb") + " does not exist.", kButtonsOk, "Error"}}));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"Data"});
}

TEST_F(LetterCaseTest, FolderWithoutBackupsIsNamedAsSpeltOnDisk) {
  const std::string data = MakeDataFile("Data/shop.mdb", "current");
  ui.path = dir.file("DATA/SHOP.MDB");
  form.cmdRestoreOld_Click();
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{"No backup files were found in " + dir.file("Data/"), kButtonsOk,
                                              "Restore Cancelled"}}));
  EXPECT_EQ(ReadFile(data), "current");
  EXPECT_EQ(ListFolder(dir.file("Data")), (std::vector<std::string>{"shop.1", "shop.mdb"}));
  EXPECT_EQ(ReadFile(dir.file("Data/shop.1")), "current");
}

}  // namespace
}  // namespace dbrepair::testing
