// Browse... (CommandBrowse_Click).
#include "app/browse.h"
#include "form1_fixture.h"

namespace dbrepair::testing {
namespace {

class BrowseTest : public Form1Test {};

TEST_F(BrowseTest, SetsTheDialogUpAndTakesTheChosenFile) {
  ui.path = dir.file("shop.mdb");
  dialog.choices = {dir.file("other.mdb")};
  form.CommandBrowse_Click();
  EXPECT_TRUE(dialog.cancel_error);
  EXPECT_EQ(dialog.flags, 4);
  EXPECT_EQ(dialog.filter, "All Files (*.*)|*.*|Microsoft Access Databases (*.mdb)|*.mdb");
  EXPECT_EQ(dialog.filter_index, 2);
  EXPECT_EQ(dialog.title, "Browse for Files");
  EXPECT_EQ(ui.path, dir.file("other.mdb"));
  EXPECT_TRUE(ui.items.empty());
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_EQ(ui.log, std::vector<std::string>{"doEvents"});  // no pointer change
}

TEST_F(BrowseTest, InitialFolderFollowsTheCurrentPath) {
  MakeFolder(dir.file("data"));
  struct Row {
    std::string path;
    std::string init_dir;
  };
  const std::vector<Row> rows = {
      {"", "/opt/dbrepair/"},
      {"   ", "/opt/dbrepair/"},
      {dir.file("data"), dir.file("data")},
      {dir.file("data/"), dir.file("data/")},
      {dir.file("data/shop.mdb"), dir.file("data/")},
      {dir.file("nowhere/shop.mdb"), dir.file("nowhere/")},
      {"Combo1", ""},
      {"  " + (dir.file("data/shop.mdb")), "  " + (dir.file("data/"))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("path '" + row.path + "'");
    ui.path = row.path;
    dialog.choices = {dir.file("x.mdb")};
    form.CommandBrowse_Click();
    EXPECT_EQ(dialog.init_dir, row.init_dir);
  }
}

TEST_F(BrowseTest, CancelIsReportedAndYesTakesTheDialogsLastFile) {
  ui.path = dir.file("shop.mdb");
  dialog.choices = {std::nullopt};
  ui.answers = {kAnswerYes};
  form.CommandBrowse_Click();
  EXPECT_EQ(ui.boxes, std::vector<ShownBox>{Report(" Location: CommandBrowse_Click", 32755, "Cancel was selected.")});
  EXPECT_EQ(ui.path, "");  // nothing browsed yet in this run

  dialog.choices = {dir.file("first.mdb"), std::nullopt};
  ui.answers = {kAnswerYes};
  form.CommandBrowse_Click();
  ui.path = "typed";
  form.CommandBrowse_Click();
  EXPECT_EQ(ui.path, dir.file("first.mdb"));
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
  ui.path = dir.file("shop.mdb");
  files.Fail(FileOperation::FolderExists, "shop.mdb", RuntimeError(52, "Bad file name or number"));
  dialog.choices = {dir.file("x.mdb")};
  ui.answers = {kAnswerYes};
  form.CommandBrowse_Click();
  EXPECT_EQ(dialog.init_dir, dir.file("shop.mdb"));
  EXPECT_EQ(ui.path, dir.file("x.mdb"));
}

TEST_F(BrowseTest, WaitingEventsRunBeforeTheDialogOpens) {
  ui.path = "";
  int shown_when_events_ran = -1;
  ui.pending_events = [&] { shown_when_events_ran = dialog.shown; };
  dialog.choices = {dir.file("x.mdb")};
  form.CommandBrowse_Click();
  EXPECT_EQ(shown_when_events_ran, 0);
  EXPECT_EQ(dialog.shown, 1);
}

}  // namespace
}  // namespace dbrepair::testing
