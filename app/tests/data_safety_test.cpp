// Every command that replaces or deletes the data file, through the real file
// system and the real engines, against a data file that must be left alone
// (held open by another program, read-only) and one that must come through
// as it was (mode 0600, a path typed in another letter case): the boxes
// shown, in order, and the data file's bytes, identity (inode, file index)
// and mode afterwards. Windows keeps of a mode only whether the file is
// read-only: there the mode 0600 row is a writable file like any other.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/form1.h"
#include "fileutil/parse_path.h"
#include "jet/base/file.h"
#include "jet/maintenance.h"
#include "jet/write/generate.h"
#include "file_stamp.h"
#include "form1_fixture.h"
#include "lock_holder.h"
#include "operations/error_trap.h"
#include "operations/local_file_system.h"
#include "scripted_open_dialog.h"
#include "scripted_user_interface.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

enum class Operation { RepairJet3, RepairJet4, RestoreNew, CreateBlank };
enum class Condition { HeldOpen, ReadOnly, Mode0600, OtherCase };
enum class Afterwards { Kept, Replaced, Gone };
const char* const kOperationNames[] = {"Repair of a Jet 3 file", "Repair of a Jet 4 file", "Restore New",
                                       "Create Blank"};
const char* const kConditionNames[] = {"held open by another process", "read-only", "mode 0600",
                                       "typed in another case"};

// One expected box; in a description "$" stands for the data file's path.
struct Box {
  enum Kind { Report, Escaped, Completed, ConfirmRestore, Restored, ConfirmErase, Erased } kind;
  const char* location = "";
  int number = 0;
  const char* description = "";
};

struct Row {
  Operation operation;
  Condition condition;
  std::vector<Box> boxes;
  Afterwards afterwards;
};

constexpr const char* kInUse = "Could not use '$'; file already in use.";
constexpr const char* kReadOnly = "Could not use '$'; file is read-only.";
constexpr const char* kRepair = " Location: Command1_Click";
constexpr const char* kJet4 = " Location: RepairJet4";
constexpr const char* kRestore = " Location: cmdRestore_Click";
constexpr int kJro = -2147467259;

const Row kRows[] = {
    {Operation::RepairJet3, Condition::HeldOpen, {{Box::Report, kRepair, 3045, kInUse}, {Box::Completed}}, Afterwards::Kept},
    {Operation::RepairJet3, Condition::ReadOnly, {{Box::Report, kRepair, 3051, kReadOnly}, {Box::Completed}}, Afterwards::Kept},
    {Operation::RepairJet3, Condition::Mode0600, {{Box::Completed}}, Afterwards::Replaced},
    {Operation::RepairJet3, Condition::OtherCase, {{Box::Completed}}, Afterwards::Replaced},
    // The compaction fails, so there is no temporary file to copy back or
    // delete: the resume table carries on to the completion box.
    {Operation::RepairJet4, Condition::HeldOpen,
     {{Box::Report, kJet4, kJro, kInUse}, {Box::Report, kJet4, 53, "File not found"}, {Box::Completed}}, Afterwards::Kept},
    {Operation::RepairJet4, Condition::ReadOnly,
     {{Box::Report, kJet4, kJro, kReadOnly}, {Box::Report, kJet4, 53, "File not found"}, {Box::Completed}}, Afterwards::Kept},
    {Operation::RepairJet4, Condition::Mode0600, {{Box::Completed}}, Afterwards::Replaced},
    {Operation::RepairJet4, Condition::OtherCase, {{Box::Completed}}, Afterwards::Replaced},
    // The failed copy resumes with the repair of the file not replaced.
    {Operation::RestoreNew, Condition::HeldOpen,
     {{Box::ConfirmRestore}, {Box::Report, kRestore, 70, "Permission denied"}, {Box::Report, kRestore, 3045, kInUse}, {Box::Restored}},
     Afterwards::Kept},
    {Operation::RestoreNew, Condition::ReadOnly,
     {{Box::ConfirmRestore}, {Box::Report, kRestore, 75, "Path/File access error"}, {Box::Report, kRestore, 3051, kReadOnly}, {Box::Restored}},
     Afterwards::Kept},
    {Operation::RestoreNew, Condition::Mode0600, {{Box::ConfirmRestore}, {Box::Restored}}, Afterwards::Replaced},
    {Operation::RestoreNew, Condition::OtherCase, {{Box::ConfirmRestore}, {Box::Restored}}, Afterwards::Replaced},
    {Operation::CreateBlank, Condition::HeldOpen, {{Box::ConfirmErase}, {Box::Escaped, "", 70, "Permission denied"}}, Afterwards::Kept},
    {Operation::CreateBlank, Condition::ReadOnly, {{Box::ConfirmErase}, {Box::Escaped, "", 75, "Path/File access error"}}, Afterwards::Kept},
    {Operation::CreateBlank, Condition::Mode0600, {{Box::ConfirmErase}, {Box::Erased}}, Afterwards::Gone},
    {Operation::CreateBlank, Condition::OtherCase, {{Box::ConfirmErase}, {Box::Erased}}, Afterwards::Gone},
};

constexpr long long kBackupTime = 1237017909;  // 2009-03-14 08:05:09 UTC

std::string WithPath(std::string text, const std::string& path) {
  if (auto at = text.find('$'); at != std::string::npos) text.replace(at, 1, path);
  return text;
}

ShownBox Shown(const Box& box, const std::string& data_file) {
  const std::string description = WithPath(box.description, data_file);
  switch (box.kind) {
    case Box::Report:
      return {ErrorReportText(box.location, box.number, description), kButtonsYesNo, "Error Handler"};
    case Box::Escaped: {
      std::string text = ErrorReportText(" Location: cmdDelete_Click", box.number, description);
      return {text.substr(0, text.rfind("\r\n\r\n")), kButtonsOk, "Error Handler"};
    }
    case Box::Completed:
      return {"Database Repair Completed", kButtonsOk, "Operation Completed"};
    case Box::ConfirmRestore:
      return {"Are you sure you want to restore the backup created on " +
                  DateToText(Date::FromUnixSeconds(kBackupTime)) + "?",
              kButtonsYesNo, "Restore Confirmation"};
    case Box::Restored:
      return {"Restore Completed Successfully", kButtonsOk, "Restore Complete"};
    case Box::ConfirmErase:
      return {"Are you sure you want to erase all of your data?", kButtonsYesNo, "Confirm Erase"};
    case Box::Erased:
      return {"All data was erased.", kButtonsOk, "Complete"};
  }
  return {};
}

void Generate(const std::string& path, jet::Version version, std::uint64_t seed) {
  auto file = jet::DiskFile::open(path, jet::DiskFile::Mode::CreateNew);
  jet::GenerateOptions options;
  options.version = version;
  options.rows = 3;
  options.seed = seed;
  jet::generate_database(*file, options);
}

class DataSafetyTest : public ::testing::Test {
 protected:
  using Holder = std::function<std::unique_ptr<LockHolder>(const std::string& database)>;

  // Lays out the row's data file (and product backup), runs its command
  // answering Yes to every question, and checks what it showed and left.
  void Check(const Row& row, const Holder& hold) {
    SCOPED_TRACE(::testing::Message() << kOperationNames[static_cast<int>(row.operation)] << ", "
                                      << kConditionNames[static_cast<int>(row.condition)]);
    TempFolder dir;
    const std::string data_file = dir.file("shop.mdb");
    Generate(data_file, row.operation == Operation::RepairJet4 ? jet::Version::Jet4 : jet::Version::Jet3, 1);
    if (row.operation == Operation::RestoreNew) {
      const std::string backup = dir.file(row.condition == Condition::OtherCase ? "SHOP.BAK" : "shop.bak");
      Generate(backup, jet::Version::Jet3, 2);
      SetModificationTime(backup, kBackupTime);
    }
    SetMode(data_file, row.condition == Condition::ReadOnly ? 0444 : row.condition == Condition::Mode0600 ? 0600 : 0644);
    const std::string original = ReadFile(data_file);
    const FileStamp stamp = StampOf(data_file);
    // A second name outside the folder keeps the original's identity in use,
    // so that a replacement cannot be given the same number again.
    TempFolder elsewhere;
    ASSERT_TRUE(LinkElsewhere(data_file, elsewhere.file("original")));
    std::unique_ptr<LockHolder> holder;
    if (row.condition == Condition::HeldOpen) holder = hold(data_file);
    const std::vector<std::string> before = dir.entries();

    ScriptedUserInterface ui;
    ui.path = row.condition == Condition::OtherCase ? dir.file("SHOP.MDB") : data_file;
    ui.answers = {kAnswerYes, kAnswerYes, kAnswerYes, kAnswerYes};
    Form1 form(ui, dialog, Form1Seams{files, folders, []() -> DBEngine& { return ProcessDBEngine(); }, NewJetEngine});
    Run(form, row.operation);
    holder.reset();

    std::vector<ShownBox> expected;
    for (const Box& box : row.boxes) expected.push_back(Shown(box, data_file));
    EXPECT_EQ(ui.boxes, expected);

    // Nothing but the safety backup is added, and no temporary file is left
    // behind. Linux names the backup after the data file as spelt on disk;
    // Windows, which matches the names itself, after the path as typed.
    const bool named_as_typed = kNativePathStyle == PathStyle::Windows && row.condition == Condition::OtherCase;
    std::vector<std::string> after = before;
    after.push_back(named_as_typed ? "SHOP.1" : "shop.1");
    if (row.afterwards == Afterwards::Gone) after.erase(std::find(after.begin(), after.end(), "shop.mdb"));
    std::sort(after.begin(), after.end());
    EXPECT_EQ(dir.entries(), after);
    // The safety backup is the file as it was, and no more open than it.
    EXPECT_TRUE(ReadFile(dir.file("shop.1")) == original) << "the safety backup differs from the data file";
    EXPECT_EQ(StampOf(dir.file("shop.1")).mode, stamp.mode);

    if (row.afterwards == Afterwards::Gone) return;
    const FileStamp now = StampOf(data_file);
    EXPECT_EQ(now.mode, stamp.mode);
    if (row.afterwards == Afterwards::Kept) {
      EXPECT_TRUE(ReadFile(data_file) == original) << "the data file was changed";
      EXPECT_EQ(now.identity, stamp.identity);
    } else {
      EXPECT_NE(now.identity, stamp.identity);
      EXPECT_EQ(jet::read_version(data_file),
                row.operation == Operation::RepairJet4 ? jet::Version::Jet4 : jet::Version::Jet3);
      if (row.operation == Operation::RestoreNew) {
        EXPECT_TRUE(ReadFile(data_file) != original) << "the backup was not restored";
      }
    }
  }

  static void Run(Form1& form, Operation operation) {
    switch (operation) {
      case Operation::RepairJet3:
      case Operation::RepairJet4:
        return form.Command1_Click();
      case Operation::RestoreNew:
        return form.cmdRestore_Click();
      case Operation::CreateBlank:
        // No trap of its own: what escapes is shown as the window shows it.
        try {
          form.cmdDelete_Click();
        } catch (...) {
          form.ReportEscapedError("cmdDelete_Click", std::current_exception());
        }
        return;
    }
  }

  ScriptedOpenDialog dialog;
  LocalFileSystem files;
  NoSpecialFolders folders;
};

TEST_F(DataSafetyTest, EveryCommandLeavesAFileItMayNotChangeAsItWas) {
  for (const Row& row : kRows) Check(row, HoldNatively);
}

// The products run under Wine: a Windows program holding the database the
// way a product does must stop every command just as a native one does.
TEST_F(DataSafetyTest, AProgramUnderWineHoldingTheDatabaseStopsEveryCommand) {
  if (std::string why_not = WhyWineCannotHold(); !why_not.empty()) GTEST_SKIP() << why_not;
  Holder under_wine = [](const std::string& database) {
    std::string why;
    auto holder = HoldUnderWine(database, why);
    if (!holder) ADD_FAILURE() << why;
    return holder;
  };
  for (const Row& row : kRows) {
    if (row.condition == Condition::HeldOpen) Check(row, under_wine);
  }
}

}  // namespace
}  // namespace dbrepair::testing
