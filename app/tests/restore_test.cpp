// Restore New and Restore Old (cmdRestore_Click, cmdRestoreOld_Click).
#include "form1_fixture.h"
#include "operations/restore.h"

namespace dbrepair::testing {
namespace {

using Pointer = ScriptedUserInterface::Pointer;

constexpr long long kMarch2009 = 1237017909;  // 2009-03-14 08:05:09 UTC

std::string Confirmation(long long unix_seconds) {
  return "Are you sure you want to restore the backup created on " +
         DateToText(Date::FromUnixSeconds(unix_seconds)) + "?";
}

const ShownBox kRestoreCompleted{"Restore Completed Successfully", kButtonsOk, "Restore Complete"};

class RestoreTest : public Form1Test {
 protected:
  // A product backup with its content and last-write time.
  void MakeBackup(const std::string& name, long long unix_seconds) {
    WriteFile(dir.file(name), name);
    SetModificationTime(dir.file(name), unix_seconds);
  }
  void Click(RestoreChoice choice) {
    choice == RestoreChoice::Newest ? form.cmdRestore_Click() : form.cmdRestoreOld_Click();
  }
};

struct ChoiceRow {
  const char* name;
  std::optional<long long> bak;   // last-write time, or missing
  std::optional<long long> bak2;
  RestoreChoice choice;
  const char* restored;
};

class RestoreChoiceTest : public RestoreTest, public ::testing::WithParamInterface<ChoiceRow> {};

TEST_P(RestoreChoiceTest, PicksTheBackupByDateAndRestoresIt) {
  const ChoiceRow& row = GetParam();
  std::string data = MakeDataFile("shop.mdb", "current");
  if (row.bak) MakeBackup("shop.bak", *row.bak);
  if (row.bak2) MakeBackup("shop.bak2", *row.bak2);
  ui.answers = {kAnswerYes};
  Click(row.choice);

  long long shown = std::string(row.restored) == "shop.bak" ? *row.bak : *row.bak2;
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{Confirmation(shown), kButtonsYesNo, "Restore Confirmation"},
                                             kRestoreCompleted}));
  EXPECT_EQ(ReadFile(data), row.restored);
  EXPECT_EQ(ReadFile(dir.file("shop.1")), "current");
  EXPECT_EQ(dao.repaired, std::vector<std::string>{data});
  EXPECT_EQ(ui.log.front(), "busy");
  EXPECT_EQ(ui.log.back(), "normal");
  if (row.bak) {
    EXPECT_EQ(ReadFile(dir.file("shop.bak")), "shop.bak");
  }
  if (row.bak2) {
    EXPECT_EQ(ReadFile(dir.file("shop.bak2")), "shop.bak2");
  }
}

constexpr long long kEarlier = kMarch2009;
constexpr long long kLater = kMarch2009 + 1;
INSTANTIATE_TEST_SUITE_P(
    Rows, RestoreChoiceTest,
    ::testing::Values(ChoiceRow{"BakLaterNewest", kLater, kEarlier, RestoreChoice::Newest, "shop.bak"},
                      ChoiceRow{"BakLaterOldest", kLater, kEarlier, RestoreChoice::Oldest, "shop.bak2"},
                      ChoiceRow{"BakEarlierNewest", kEarlier, kLater, RestoreChoice::Newest, "shop.bak2"},
                      ChoiceRow{"BakEarlierOldest", kEarlier, kLater, RestoreChoice::Oldest, "shop.bak"},
                      ChoiceRow{"SameSecondNewest", kEarlier, kEarlier, RestoreChoice::Newest, "shop.bak2"},
                      ChoiceRow{"SameSecondOldest", kEarlier, kEarlier, RestoreChoice::Oldest, "shop.bak2"},
                      ChoiceRow{"OnlyBakNewest", kEarlier, std::nullopt, RestoreChoice::Newest, "shop.bak"},
                      ChoiceRow{"OnlyBakOldest", kEarlier, std::nullopt, RestoreChoice::Oldest, "shop.bak"},
                      ChoiceRow{"OnlyBak2Newest", std::nullopt, kLater, RestoreChoice::Newest, "shop.bak2"},
                      ChoiceRow{"OnlyBak2Oldest", std::nullopt, kLater, RestoreChoice::Oldest, "shop.bak2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RestoreTest, NoBackupsEndsWithTheFolderInTheMessage) {
  std::string data = MakeDataFile("Data/shop.mdb", "current");
  form.cmdRestoreOld_Click();
  EXPECT_EQ(ui.boxes, (std::vector<ShownBox>{{"No backup files were found in " + dir.file("Data/"),
                                              kButtonsOk, "Restore Cancelled"}}));
  EXPECT_EQ(ui.pointer, Pointer::Normal);
  EXPECT_EQ(ReadFile(data), "current");
  EXPECT_EQ(ListFolder(dir.file("Data")), (std::vector<std::string>{"shop.1", "shop.mdb"}));
  EXPECT_EQ(ReadFile(dir.file("Data/shop.1")), "current");
  EXPECT_TRUE(dao.repaired.empty());
}

TEST_F(RestoreTest, DottedDataFileUsesBackupsOfItsBareName) {
  std::string data = MakeDataFile("shop.2009.mdb", "current");
  MakeBackup("shop.bak", kMarch2009);
  ui.answers = {kAnswerYes};
  form.cmdRestore_Click();
  EXPECT_EQ(ReadFile(data), "shop.bak");
  EXPECT_EQ(ReadFile(dir.file("shop.1")), "current");
}

TEST_F(RestoreTest, MissingDataFileIsCreatedFromTheBackupWithoutSafetyBackup) {
  ui.path = dir.file("shop.mdb");
  MakeBackup("shop.bak2", kMarch2009);
  ui.answers = {kAnswerYes};
  form.cmdRestore_Click();
  EXPECT_EQ(ui.Titles(), (std::vector<std::string>{"Restore Confirmation", "Restore Complete"}));
  EXPECT_EQ(ReadFile(dir.file("shop.mdb")), "shop.bak2");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.bak2", "shop.mdb"}));
}

TEST_F(RestoreTest, NoAtTheConfirmationChangesNothing) {
  std::string data = MakeDataFile("shop.mdb", "current");
  MakeBackup("shop.bak", kMarch2009);
  ui.answers = {kAnswerNo};
  form.cmdRestore_Click();
  EXPECT_EQ(ui.Titles(), std::vector<std::string>{"Restore Confirmation"});
  EXPECT_EQ(ReadFile(data), "current");
  EXPECT_TRUE(dao.repaired.empty());
  EXPECT_EQ(ui.pointer, Pointer::Normal);
  EXPECT_TRUE(PathExists(dir.file("shop.1")));
}

TEST_F(RestoreTest, RefusedSafetyBackupShowsOnlyItsMessage) {
  std::string data = MakeDataFile("shop.mdb", "current");
  MakeBackup("shop.bak", kMarch2009);
  for (int n = 1; n <= 1000; ++n) WriteFile(dir.file("shop." + std::to_string(n)), "");
  form.cmdRestore_Click();
  EXPECT_EQ(ui.Titles(), std::vector<std::string>{"Backup Error"});
  EXPECT_EQ(ReadFile(data), "current");
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

TEST_F(RestoreTest, UnrecognisedRestoredFileIsCompactedThenReportedComplete) {
  std::string data = MakeDataFile("shop.mdb", "current");
  MakeBackup("shop.bak", kMarch2009);
  dao.outcomes = {RuntimeError(kErrUnrecognizedFormat, "Unrecognized database format.")};
  ui.answers = {kAnswerYes};
  form.cmdRestore_Click();
  EXPECT_EQ(ui.Titles(), (std::vector<std::string>{"Restore Confirmation", "Operation Completed", "Restore Complete"}));
  EXPECT_EQ(ReadFile(data), "compacted shop.bak");
  EXPECT_FALSE(PathExists(dir.file("temp.mdb")));
  EXPECT_EQ(ui.pointer, Pointer::Normal);
}

TEST_F(RestoreTest, FailedCopyAnsweredYesRepairsTheUnreplacedFile) {
  std::string data = MakeDataFile("shop.mdb", "current");
  MakeBackup("shop.bak", kMarch2009);
  files.Fail(FileOperation::CopyFile, "shop.mdb", RuntimeError(70, "Permission denied"));
  ui.answers = {kAnswerYes, kAnswerYes};
  form.cmdRestore_Click();
  EXPECT_EQ(ui.boxes[1], Report(" Location: cmdRestore_Click", 70, "Permission denied"));
  EXPECT_EQ(ui.boxes.back(), kRestoreCompleted);
  EXPECT_EQ(ReadFile(data), "current");
  EXPECT_EQ(dao.repaired, std::vector<std::string>{data});
}

TEST_F(RestoreTest, NoAtAReportEndsTheProgramAtOnce) {
  MakeDataFile();
  MakeBackup("shop.bak", kMarch2009);
  dao.outcomes = {RuntimeError(3049, "damaged")};
  ui.answers = {kAnswerYes, kAnswerNo};
  EXPECT_THROW(form.cmdRestoreOld_Click(), EndProgram);
  EXPECT_EQ(ui.Titles(), (std::vector<std::string>{"Restore Confirmation", "Error Handler"}));
  EXPECT_EQ(ui.log.back(), "end");
  EXPECT_EQ(ui.pointer, Pointer::Busy);
}

TEST_F(RestoreTest, NoInsideTheCompactionTouchesNothingMore) {
  std::string data = MakeDataFile("shop.mdb", "current");
  MakeBackup("shop.bak", kMarch2009);
  dao.outcomes = {RuntimeError(kErrUnrecognizedFormat, "Unrecognized database format.")};
  compaction.failure = RuntimeError(kErrUnspecifiedFailure, "broken");
  ui.answers = {kAnswerYes, kAnswerNo};
  form.cmdRestore_Click();
  EXPECT_EQ(ui.Titles(), (std::vector<std::string>{"Restore Confirmation", "Error Handler"}));
  EXPECT_EQ(ui.boxes[1], Report(" Location: RepairJet4", kErrUnspecifiedFailure, "broken"));
  EXPECT_TRUE(ui.unloaded);
  EXPECT_EQ(ui.pointer, Pointer::Busy);
  EXPECT_EQ(ReadFile(data), "shop.bak");  // restored before the compaction failed
}

TEST_F(RestoreTest, UnreadableDateCountsAsZeroAfterYes) {
  // .bak is the later file, but its date cannot be read: Restore New then
  // prefers .bak2 and Restore Old prefers .bak.
  for (auto [choice, restored] : {std::pair{RestoreChoice::Newest, "shop.bak2"},
                                  std::pair{RestoreChoice::Oldest, "shop.bak"}}) {
    SCOPED_TRACE(restored);
    ui = ScriptedUserInterface();
    std::string data = MakeDataFile("shop.mdb", "current");
    MakeBackup("shop.bak", kLater);
    MakeBackup("shop.bak2", kEarlier);
    files.Fail(FileOperation::GetFileDate, "shop.bak", RuntimeError(57, "Device I/O error"));
    ui.answers = {kAnswerYes, kAnswerYes};
    Click(choice);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0], Report(" Location: cmdRestore_Click", 57, "Device I/O error"));
    EXPECT_EQ(ReadFile(data), restored);
  }
}

TEST_F(RestoreTest, PendingEventsRunBeforeTheCopy) {
  std::string data = MakeDataFile("shop.mdb", "current");
  MakeBackup("shop.bak", kMarch2009);
  std::string seen;
  ui.pending_events = [&] { seen = ReadFile(data); };
  ui.answers = {kAnswerYes};
  form.cmdRestore_Click();
  EXPECT_EQ(seen, "current");
  EXPECT_EQ(ReadFile(data), "shop.bak");
}

}  // namespace
}  // namespace dbrepair::testing
