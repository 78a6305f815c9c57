// Repair (Command1_Click) and the compaction repair RepairJet4.
#include <algorithm>

#include "form1_fixture.h"
#include "platform/connection_text.h"

namespace dbrepair::testing {
namespace {

using Pointer = ScriptedUserInterface::Pointer;

const RuntimeError kUnrecognised(kErrUnrecognizedFormat, "Unrecognized database format 'x'.");

class RepairTest : public Form1Test {};

TEST_F(RepairTest, MissingFileEndsWithItsMessageAndNothingWritten) {
  MakeFolder(dir.file("Data"));
  struct Row {
    std::string typed, shown;
  };
  // The message names the path as typed (letter_case_test_posix.cpp: as
  // spelt on disk).
  const Row rows[] = {{"", ""},
                      {dir.file("missing.mdb"), dir.file("missing.mdb")},
                      {dir.path(), dir.path()},
                      {dir.path() + "/", dir.path() + "/"}};
  for (const Row& row : rows) {
    SCOPED_TRACE("path '" + row.typed + "'");
    ui = ScriptedUserInterface();
    ui.path = row.typed;
    form.Command1_Click();
    EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{"File " + row.shown + " does not exist.", kButtonsOk, "Error"}}));
    EXPECT_EQ(ui.log, (std::vector<std::string>{"busy", "box Error", "normal"}));
  }
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"Data"});
  EXPECT_TRUE(dao.repaired.empty());
}

TEST_F(RepairTest, AcceptedDatabaseIsBackedUpAndRepairedInPlace) {
  std::string data = MakeDataFile("shop.mdb", "original");
  WriteFile(dir.file("temp.mdb"), "unrelated");
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{Completed()});
  EXPECT_EQ(ui.log, (std::vector<std::string>{"busy", "box Operation Completed", "normal"}));
  EXPECT_EQ(dao.repaired, std::vector<std::string>{data});
  EXPECT_EQ(ReadFile(dir.file("shop.1")), "original");
  EXPECT_EQ(ReadFile(dir.file("temp.mdb")), "unrelated");
  EXPECT_EQ(compaction.engines_made, 0);
}

TEST_F(RepairTest, UnrecognisedFormatIsCompactedThroughTempWithoutReport) {
  std::string data = MakeDataFile("shop.mdb", "jet4");
  WriteFile(dir.file("temp.mdb"), "unrelated");  // deleted without a question
  dao.outcomes = {kUnrecognised};
  form.Command1_Click();

  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{Completed()});
  EXPECT_EQ(ui.log, (std::vector<std::string>{"busy", "box Operation Completed", "normal"}));
  ASSERT_EQ(compaction.calls.size(), 1u);
  EXPECT_EQ(compaction.calls[0].first, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + data);
  EXPECT_EQ(compaction.calls[0].second, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + (dir.file("temp.mdb")));
  EXPECT_EQ(ReadFile(data), "compacted jet4");
  EXPECT_EQ(ReadFile(dir.file("shop.1")), "jet4");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.1", "shop.mdb"}));
  EXPECT_EQ(compaction.engines_alive, 0);
}

TEST_F(RepairTest, DataFileNamedTempIsNeverDeletedByTheCompaction) {
  for (const std::string name : {"temp.mdb", "TEMP.MDB", "Temp.Mdb"}) {
    SCOPED_TRACE(name);
    TempFolder own;
    std::string data = own.file(name);
    WriteFile(data, "jet4");
    ui = ScriptedUserInterface();
    ui.path = data;
    dao.outcomes = {kUnrecognised};
    form.Command1_Click();
    EXPECT_EQ(ui.boxes, std::vector<ShownBox>{Completed()});
    EXPECT_EQ(ReadFile(data), "compacted jet4");
    std::vector<std::string> expected = {name.substr(0, 4) + ".1", name};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(own.path()), expected);
  }
}

TEST_F(RepairTest, EngineErrorReportsAndYesShowsCompletionNoUnloads) {
  const RuntimeError failure(3049, "page 7: data page: row count: beyond the page");
  for (int answer : {kAnswerYes, kAnswerNo}) {
    SCOPED_TRACE(answer);
    ui = ScriptedUserInterface();
    MakeDataFile();
    dao.outcomes = {failure};
    ui.answers = {answer};
    form.Command1_Click();
    std::vector<ShownBox> expected = {Report(" Location: Command1_Click", 3049, failure.Description())};
    if (answer == kAnswerYes) {
      expected.push_back(Completed());
      EXPECT_EQ(ui.pointer, Pointer::Normal);
    } else {
      EXPECT_TRUE(ui.unloaded);
      EXPECT_EQ(ui.pointer, Pointer::Busy);
    }
    EXPECT_EQ(ui.boxes, expected);
  }
}

TEST_F(RepairTest, ReportTextHasTheExactLayout) {
  MakeDataFile();
  files.Fail(FileOperation::FileExists, "shop.mdb", RuntimeError(53, "File not found"));
  ui.answers = {kAnswerNo};
  form.Command1_Click();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text,
            "An internal error has been encountered.\r\n Location: Command1_Click\r\n Error: 53\r\n"
            " Text: File not found\r\n\r\nWould you like to continue with the program?");
}

TEST_F(RepairTest, FailedExistenceTestAnsweredYesGoesOnAsIfTheFileExisted) {
  // The test fails on a missing file: the backup finds nothing to copy and
  // the engine is asked to repair, whose own error is reported again.
  ui.path = dir.file("gone.mdb");
  files.Fail(FileOperation::FileExists, "gone.mdb", RuntimeError(57, "Device I/O error"));
  dao.outcomes = {RuntimeError(3024, "Could not find file.")};
  ui.answers = {kAnswerYes, kAnswerYes};
  form.Command1_Click();
  EXPECT_EQ(ui.Titles(), (std::vector<std::string>{"Error Handler", "Error Handler", "Operation Completed"}));
  EXPECT_EQ(ui.boxes[1], Report(" Location: Command1_Click", 3024, "Could not find file."));
  EXPECT_EQ(dao.repaired, std::vector<std::string>{ui.path});
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

TEST_F(RepairTest, FailedSafetyBackupEndsTheCommandWithoutRepair) {
  MakeDataFile();
  MakeFolder(dir.file("shop.1"));  // counts as free; the copy onto it fails
  ui.answers = {kAnswerYes};
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{Report(" Location: Command1_Click", 75, "Path/File access error")});
  EXPECT_TRUE(dao.repaired.empty());
  EXPECT_EQ(ui.pointer, Pointer::Normal);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.1", "shop.mdb"}));
}

TEST_F(RepairTest, RefusedSafetyBackupShowsOnlyItsMessage) {
  MakeDataFile();
  for (int n = 1; n <= 1000; ++n) WriteFile(dir.file("shop." + std::to_string(n)), "");
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{"Error- 1000 backup files exit in the current directory.  Process aborted.",
                                              kButtonsOk, "Backup Error"}}));
  EXPECT_TRUE(dao.repaired.empty());
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

TEST_F(RepairTest, FailedCompactionNeverReplacesTheDataFile) {
  std::string data = MakeDataFile("shop.mdb", "jet4");
  dao.outcomes = {kUnrecognised};
  compaction.failure = RuntimeError(kErrUnspecifiedFailure, "disk full while writing");
  compaction.partial_output = "half a database";
  ui.answers = {kAnswerYes};
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{Report(" Location: RepairJet4", kErrUnspecifiedFailure, "disk full while writing"),
                                             Completed()}));
  EXPECT_EQ(ReadFile(data), "jet4");
  EXPECT_FALSE(PathExists(dir.file("temp.mdb")));  // the partial output is removed
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

TEST_F(RepairTest, MissingCompactionEngineAnsweredYesReportsEachFailingStep) {
  std::string data = MakeDataFile("shop.mdb", "jet4");
  dao.outcomes = {kUnrecognised};
  compaction.creation_failure = RuntimeError(429, "ActiveX component can't create object");
  ui.answers = {kAnswerYes, kAnswerYes, kAnswerYes};
  form.Command1_Click();
  EXPECT_EQ(ui.boxes,
            (std::vector<ShownBox>{Report(" Location: RepairJet4", 429, "ActiveX component can't create object"),
                                   Report(" Location: RepairJet4", 91, "Object variable or With block variable not set"),
                                   Report(" Location: RepairJet4", 53, "File not found"), Completed()}));
  EXPECT_EQ(ReadFile(data), "jet4");
}

TEST_F(RepairTest, FailedCopyBackAnsweredYesStillRemovesTemp) {
  std::string data = MakeDataFile("shop.mdb", "jet4");
  dao.outcomes = {kUnrecognised};
  files.Fail(FileOperation::CopyFile, "shop.mdb", RuntimeError(70, "Permission denied"));
  ui.answers = {kAnswerYes};
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{Report(" Location: RepairJet4", 70, "Permission denied"), Completed()}));
  EXPECT_EQ(ReadFile(data), "jet4");
  EXPECT_FALSE(PathExists(dir.file("temp.mdb")));
}

TEST_F(RepairTest, NoInsideTheCompactionUnloadsAndEndsTheCommand) {
  MakeDataFile();
  dao.outcomes = {kUnrecognised};
  compaction.failure = RuntimeError(kErrUnspecifiedFailure, "broken");
  ui.answers = {kAnswerNo};
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{Report(" Location: RepairJet4", kErrUnspecifiedFailure, "broken")});
  EXPECT_TRUE(ui.unloaded);
  EXPECT_EQ(ui.pointer, Pointer::Busy);
  EXPECT_EQ(compaction.engines_alive, 0);
}

TEST_F(RepairTest, SecondRepairTakesTheNextBackupNumber) {
  MakeDataFile();
  form.Command1_Click();
  form.Command1_Click();
  EXPECT_EQ(dao.repaired.size(), 2u);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.1", "shop.2", "shop.mdb"}));
}

TEST_F(RepairTest, CancelAndShutDownOnlyUnload) {
  form.Command2_Click();
  EXPECT_EQ(ui.log, std::vector<std::string>{"unload"});
  ui = ScriptedUserInterface();
  form.ShutDown();
  EXPECT_EQ(ui.log, std::vector<std::string>{"unload"});
}

}  // namespace
}  // namespace dbrepair::testing
