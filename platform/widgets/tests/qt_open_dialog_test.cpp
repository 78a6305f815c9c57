#include "platform/widgets/qt_open_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "support/modal.h"
#include "support/qt_printers.h"

namespace dbrepair {
namespace {

const char* const kBrowseFilter = "All Files (*.*)|*.*|Microsoft Access Databases (*.mdb)|*.mdb";

class QtOpenDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QtOpenDialog::ResetScript();
    ASSERT_TRUE(folder_.isValid());
    dialog_.SetCancelError(true);
    dialog_.SetFlags(4);
    dialog_.SetFilter(kBrowseFilter);
    dialog_.SetFilterIndex(2);
    dialog_.SetInitDir(folder_.path().toStdString() + "/");
    dialog_.SetDialogTitle("Browse for Files");
  }
  void TearDown() override { QtOpenDialog::ResetScript(); }

  std::string PathIn(const char* name) const { return folder_.filePath(name).toStdString(); }

  QTemporaryDir folder_;
  QtOpenDialog dialog_;
};

TEST_F(QtOpenDialogTest, DialogGetsTheSettings) {
  auto dialog = dialog_.Build();
  EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Browse for Files"));
  EXPECT_EQ(dialog->nameFilters(),
            QStringList({"All Files (*.*) (*)", "Microsoft Access Databases (*.mdb) (*.mdb)"}));
  EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("Microsoft Access Databases (*.mdb)"));
  EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(folder_.path()).canonicalPath());
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
  // No demand that the file exist: a typed name for a new file comes back.
  EXPECT_EQ(dialog->fileMode(), QFileDialog::AnyFile);
}

TEST_F(QtOpenDialogTest, UserSeesTheDescriptionsAsGiven) {
  auto dialog = dialog_.Build();
  auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  ASSERT_NE(types, nullptr);
  ASSERT_EQ(types->count(), 2);
  EXPECT_EQ(types->itemText(0), QStringLiteral("All Files (*.*)"));
  EXPECT_EQ(types->itemText(1), QStringLiteral("Microsoft Access Databases (*.mdb)"));
  EXPECT_EQ(types->currentIndex(), 1);
}

struct IndexRow {
  int index;
  const char* selected;
};

class FilterIndexTest : public QtOpenDialogTest, public ::testing::WithParamInterface<IndexRow> {};

TEST_P(FilterIndexTest, SelectsTheFilterCountedFromOne) {
  dialog_.SetFilterIndex(GetParam().index);
  auto dialog = dialog_.Build();
  EXPECT_EQ(dialog->selectedNameFilter(), QString::fromUtf8(GetParam().selected));
}

INSTANTIATE_TEST_SUITE_P(Rows, FilterIndexTest,
                         ::testing::Values(IndexRow{1, "All Files (*.*)"},
                                           IndexRow{2, "Microsoft Access Databases (*.mdb)"},
                                           IndexRow{0, "All Files (*.*)"}, IndexRow{3, "All Files (*.*)"},
                                           IndexRow{-1, "All Files (*.*)"}));

struct ListingRow {
  int filterIndex;
  QStringList listed;
};

class FilterListingTest : public QtOpenDialogTest, public ::testing::WithParamInterface<ListingRow> {};

// What the user sees in the folder: every file under "All Files (*.*)",
// names without a dot included; database files in any letter case under the
// database entry.
TEST_P(FilterListingTest, ListsTheFilesThatTheFilterMatches) {
  for (const char* name : {"README", "shop.mdb", "OLD.MDB", "notes.txt"}) {
    QFile file(folder_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  dialog_.SetFilterIndex(GetParam().filterIndex);
  auto dialog = dialog_.Build();
  auto* model = dialog->findChild<QFileSystemModel*>();
  ASSERT_NE(model, nullptr);
  const QModelIndex root = model->index(folder_.path());
  EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) >= GetParam().listed.size(); }, 5000));
  QTest::qWait(100);  // let a slow listing show any file too many
  QStringList listed;
  for (int row = 0; row < model->rowCount(root); ++row) listed << model->index(row, 0, root).data().toString();
  listed.sort();
  EXPECT_EQ(listed, GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(Rows, FilterListingTest,
                         ::testing::Values(ListingRow{1, {"OLD.MDB", "README", "notes.txt", "shop.mdb"}},
                                           ListingRow{2, {"OLD.MDB", "shop.mdb"}}));

TEST_F(QtOpenDialogTest, FileMustExistFlagAsksForAnExistingFile) {
  dialog_.SetFlags(4 | QtOpenDialog::kFileMustExist);
  EXPECT_EQ(dialog_.Build()->fileMode(), QFileDialog::ExistingFile);
}

TEST_F(QtOpenDialogTest, ChosenFileBecomesTheFileName) {
  const std::string chosen = PathIn("shop.mdb");
  test_support::WhenModalShown([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString(chosen));
    static_cast<QDialog*>(dialog)->accept();
  });
  dialog_.ShowOpen();
  EXPECT_EQ(dialog_.FileName(), chosen);
}

TEST_F(QtOpenDialogTest, CancelRaisesTheCancelErrorAndKeepsTheFileName) {
  QtOpenDialog::SetNextFileName("/data/first.mdb");
  dialog_.ShowOpen();

  test_support::WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  try {
    dialog_.ShowOpen();
    FAIL() << "cancel returned normally";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Number(), 32755);
    EXPECT_EQ(error.Description(), "Cancel was selected.");
  }
  EXPECT_EQ(dialog_.FileName(), "/data/first.mdb");
}

TEST_F(QtOpenDialogTest, CancelWithoutCancelErrorReturnsQuietly) {
  dialog_.SetCancelError(false);
  QtOpenDialog::SetNextCancel();
  EXPECT_NO_THROW(dialog_.ShowOpen());
  EXPECT_EQ(dialog_.FileName(), "");
}

TEST_F(QtOpenDialogTest, ScriptedOutcomesAreTakenInOrderAndRecordTheSettings) {
  QtOpenDialog::SetNextFileName("/data/a.mdb");
  QtOpenDialog::SetNextCancel();
  dialog_.ShowOpen();
  EXPECT_EQ(dialog_.FileName(), "/data/a.mdb");
  dialog_.SetInitDir("/data/");
  EXPECT_THROW(dialog_.ShowOpen(), RuntimeError);
  EXPECT_EQ(dialog_.FileName(), "/data/a.mdb");

  const auto& shown = QtOpenDialog::ScriptedDialogs();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].filter, kBrowseFilter);
  EXPECT_EQ(shown[0].filterIndex, 2);
  EXPECT_EQ(shown[0].title, "Browse for Files");
  EXPECT_EQ(shown[1].initDir, "/data/");
}

}  // namespace
}  // namespace dbrepair
