// Browse... (CommandBrowse_Click).
#include "app/browse.h"
#include "form1_fixture.h"

namespace dbrepair::testing {
namespace {

class BrowseTest : public Form1Test {};

TEST_F(BrowseTest, SetsTheDialogUpAndTakesTheChosenFile) {
  ui.path = dir / "shop.mdb";
  dialog.choices = {dir / "other.mdb"};
  form.CommandBrowse_Click();
  EXPECT_TRUE(dialog.cancel_error);
  EXPECT_EQ(dialog.flags, 4);
  EXPECT_EQ(dialog.filter, "All Files (*.*)|*.*|Microsoft Access Databases (*.mdb)|*.mdb");
  EXPECT_EQ(dialog.filter_index, 2);
  EXPECT_EQ(dialog.title, "Browse for Files");
  EXPECT_EQ(ui.path, dir / "other.mdb");
  EXPECT_TRUE(ui.items.empty());
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ui.log, std::vector<std::string>{"doEvents"});  // no pointer change
}

TEST_F(BrowseTest, InitialFolderFollowsTheCurrentPath) {
  MakeFolder(dir / "data");
  struct Row {
    std::string path;
    std::string init_dir;
  };
  const std::vector<Row> rows = {
      {"", "/opt/dbrepair/"},
      {"   ", "/opt/dbrepair/"},
      {dir / "data", dir / "data"},
      {dir / "data/", dir / "data/"},
      {dir / "data/shop.mdb", dir / "data/"},
      {dir / "nowhere/shop.mdb", dir / "nowhere/"},
      {"Combo1", ""},
      {"  " + (dir / "data/shop.mdb"), "  " + (dir / "data/")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("path '" + row.path + "'");
    ui.path = row.path;
    dialog.choices = {dir / "x.mdb"};
    form.CommandBrowse_Click();
    EXPECT_EQ(dialog.init_dir, row.init_dir);
  }
}

TEST_F(BrowseTest, CancelIsReportedAndYesTakesTheDialogsLastFile) {
  ui.path = dir / "shop.mdb";
  dialog.choices = {std::nullopt};
  ui.answers = {kAnswerYes};
  form.CommandBrowse_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{Report(" Location: CommandBrowse_Click", 32755, "Cancel was selected.")});
  EXPECT_EQ(ui.path, "");  // nothing browsed yet in this run

  dialog.choices = {dir / "first.mdb", std::nullopt};
  ui.answers = {kAnswerYes};
  form.CommandBrowse_Click();
  ui.path = "typed";
  form.CommandBrowse_Click();
  EXPECT_EQ(ui.path, dir / "first.mdb");
}

TEST_F(BrowseTest, CancelAnsweredNoUnloadsAndKeepsThePath) {
  ui.path = "kept";
  dialog.choices = {std::nullopt};
  ui.answers = {kAnswerNo};
  form.CommandBrowse_Click();
  EXPECT_TRUE(ui.unloaded);
  EXPECT_EQ(ui.path, "kept");
}

TEST_F(BrowseTest, FailedFolderTestAnsweredYesStartsInThePathItself) {
  ui.path = dir / "shop.mdb";
  files.fail(FileOperation::FolderExists, "shop.mdb", RuntimeError(52, "Bad file name or number"));
  dialog.choices = {dir / "x.mdb"};
  ui.answers = {kAnswerYes};
  form.CommandBrowse_Click();
  EXPECT_EQ(dialog.init_dir, dir / "shop.mdb");
  EXPECT_EQ(ui.path, dir / "x.mdb");
}

TEST_F(BrowseTest, WaitingEventsRunBeforeTheDialogOpens) {
  ui.path = "";
  int shown_when_events_ran = -1;
  ui.pending_events = [&] { shown_when_events_ran = dialog.shown; };
  dialog.choices = {dir / "x.mdb"};
  form.CommandBrowse_Click();
  EXPECT_EQ(shown_when_events_ran, 0);
  EXPECT_EQ(dialog.shown, 1);
}

}  // namespace
}  // namespace dbrepair::testing
