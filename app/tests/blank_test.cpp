// Create Blank (cmdDelete_Click) and what an error escaping it shows.
#include "form1_fixture.h"

namespace dbrepair::testing {
namespace {

using Pointer = ScriptedUserInterface::Pointer;

const ShownBox kAlreadyErased{"Your data file has already been erased", kButtonsOk, "Warning"};
const ShownBox kConfirm{"Are you sure you want to erase all of your data?", kButtonsYesNo, "Confirm Erase"};

class BlankTest : public Form1Test {};

TEST_F(BlankTest, YesErasesTheDataFileAndKeepsEveryBackup) {
  std::string data = MakeDataFile("shop.mdb", "current");
  WriteFile(dir.file("shop.bak"), "bak");
  WriteFile(dir.file("shop.bak2"), "bak2");
  ui.answers = {kAnswerYes};
  form.cmdDelete_Click();
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{kConfirm, {"All data was erased.", kButtonsOk, "Complete"}}));
  EXPECT_EQ(ui.log, (std::vector<std::string>{"busy", "box Confirm Erase", "box Complete", "normal"}));
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.1", "shop.bak", "shop.bak2"}));
  EXPECT_EQ(ReadFile(dir.file("shop.1")), "current");

  // A second Create Blank finds nothing left to erase.
  ui.boxes.clear();
  form.cmdDelete_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{kAlreadyErased});
}

TEST_F(BlankTest, NoKeepsTheDataFileAndTheNewSafetyBackup) {
  std::string data = MakeDataFile("shop.mdb", "current");
  ui.answers = {kAnswerNo};
  form.cmdDelete_Click();
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{kConfirm, {"Create Blank function aborted", kButtonsOk, "Warning"}}));
  EXPECT_EQ(ReadFile(data), "current");
  EXPECT_EQ(ReadFile(dir.file("shop.1")), "current");
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

TEST_F(BlankTest, NothingToEraseWarnsWithoutBackupOrQuestion) {
  for (const std::string& path : {std::string(), dir.file("missing.mdb"), dir.path()}) {
    SCOPED_TRACE(path);
    ui = ScriptedUserInterface();
    ui.path = path;
    form.cmdDelete_Click();
    EXPECT_EQ(ui.boxes, std::vector<ShownBox>{kAlreadyErased});
    EXPECT_EQ(ui.pointer, Pointer::Normal);
  }
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(BlankTest, RefusedSafetyBackupAsksNothing) {
  std::string data = MakeDataFile();
  for (int n = 1; n <= 1000; ++n) WriteFile(dir.file("shop." + std::to_string(n)), "");
  form.cmdDelete_Click();
  EXPECT_EQ(ui.Titles(), std::vector<std::string>{"Backup Error"});
  EXPECT_TRUE(PathExists(data));
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

TEST_F(BlankTest, FailedDeleteEscapesAndIsShownWithoutQuestion) {
  std::string data = MakeDataFile();
  files.Fail(FileOperation::DeleteFile, "shop.mdb", RuntimeError(70, "Permission denied"));
  ui.answers = {kAnswerYes};
  std::exception_ptr escaped;
  try {
    form.cmdDelete_Click();
  } catch (...) {
    escaped = std::current_exception();
  }
  ASSERT_TRUE(escaped);
  EXPECT_EQ(ui.Titles(), std::vector<std::string>{"Confirm Erase"});
  EXPECT_EQ(ui.pointer, Pointer::Busy);
  EXPECT_TRUE(PathExists(data));
  EXPECT_TRUE(PathExists(dir.file("shop.1")));

  form.ReportEscapedError("cmdDelete_Click", escaped);
  EXPECT_EQ(ui.boxes.back(),
            (ShownBox{"An internal error has been encountered.\r\n Location: cmdDelete_Click\r\n Error: 70\r\n"
                      " Text: Permission denied",
                      kButtonsOk, "Error Handler"}));
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

}  // namespace
}  // namespace dbrepair::testing
