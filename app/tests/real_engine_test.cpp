// Repair through the real facades and our Jet engine, on copies of the
// sample databases.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/form1.h"
#include "form1_fixture.h"
#include "jet/base/error.h"
#include "jet/maintenance.h"
#include "operations/error_trap.h"
#include "operations/local_file_system.h"
#include "scripted_open_dialog.h"
#include "scripted_user_interface.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

const ShownBox kCompleted{"Database Repair Completed", kButtonsOk, "Operation Completed"};

class RealEngineTest : public ::testing::Test {
 protected:
  RealEngineTest()
      : form(ui, dialog,
             Form1Seams{files, folders, []() -> DBEngine& { return ProcessDBEngine(); }, NewJetEngine}) {}

  // A copy of a sample database as shop.mdb, current in the path box.
  std::string CopySample(const std::string& sample) {
    std::string source = std::string(JET_CORPUS_DIR) + "/" + sample;
    if (!std::filesystem::exists(source)) return "";
    std::filesystem::copy_file(source, dir.file("shop.mdb"));
    // The samples are read-only, and a read-only data file is left alone.
    std::filesystem::permissions(dir.file("shop.mdb"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    ui.path = dir.file("shop.mdb");
    return ReadFile(ui.path);
  }

  TempFolder dir;
  ScriptedUserInterface ui;
  ScriptedOpenDialog dialog;
  LocalFileSystem files;
  NoSpecialFolders folders;
  Form1 form;
};

// The engine's whole-file operations may still be placeholders.
bool EngineCan(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const jet::Error& error) {
    return error.code() != jet::ErrorCode::Unsupported;
  }
  return true;
}

TEST_F(RealEngineTest, NonDatabaseGoesToTheCompactionWhichFailsWithoutHarm) {
  WriteFile(dir.file("shop.mdb"), "This is not a database, only a text file of some length.");
  ui.path = dir.file("shop.mdb");
  ui.answers = {kAnswerYes, kAnswerYes};
  form.Command1_Click();
  ASSERT_EQ(ui.boxes.size(), 3u);
  EXPECT_EQ(ui.boxes[0].title, "Error Handler");
  EXPECT_NE(ui.boxes[0].text.find(" Location: RepairJet4\r\n Error: -2147467259\r\n"), std::string::npos);
  EXPECT_EQ(ui.boxes[1].text, ErrorReportText(" Location: RepairJet4", 53, "File not found"));
  EXPECT_EQ(ui.boxes[2], kCompleted);
  EXPECT_EQ(ReadFile(dir.file("shop.mdb")), "This is not a database, only a text file of some length.");
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.1", "shop.mdb"}));
}

TEST_F(RealEngineTest, Jet4DatabaseIsRepairedByCompaction) {
  std::string original = CopySample("jet4/v2000-test.mdb");
  if (original.empty()) GTEST_SKIP() << "no sample databases";
  TempFolder probe;
  if (!EngineCan([&] { jet::compact(ui.path, probe.file("probe.mdb")); })) {
    GTEST_SKIP() << "the engine's compaction is not built yet";
  }
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{kCompleted});
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.1", "shop.mdb"}));
  EXPECT_EQ(ReadFile(dir.file("shop.1")), original);
  EXPECT_EQ(jet::read_version(dir.file("shop.mdb")), jet::Version::Jet4);
}

TEST_F(RealEngineTest, Jet3DatabaseIsRepairedInPlace) {
  std::string original = CopySample("jet3/v1997-test.mdb");
  if (original.empty()) GTEST_SKIP() << "no sample databases";
  TempFolder probe;
  std::filesystem::copy_file(ui.path, probe.file("probe.mdb"));
  if (!EngineCan([&] { jet::repair(probe.file("probe.mdb")); })) GTEST_SKIP() << "the engine's repair is not built yet";
  form.Command1_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{kCompleted});
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"shop.1", "shop.mdb"}));
  EXPECT_EQ(ReadFile(dir.file("shop.1")), original);
  EXPECT_EQ(jet::read_version(dir.file("shop.mdb")), jet::Version::Jet3);
}

}  // namespace
}  // namespace dbrepair::testing
