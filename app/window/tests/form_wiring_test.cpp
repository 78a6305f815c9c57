// The window's buttons run Form1's handlers: the real window and the real
// handlers on files in a temporary Wine prefix, with the boxes, the dialog
// and the DAO engine scripted.
#include "app/window/form_wiring.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <utime.h>

#include "app/form1.h"
#include "app/window/main_window.h"
#include "operations/local_file_system.h"
#include "platform/date.h"
#include "platform/db_engine.h"
#include "platform/special_folders.h"
#include "platform/widgets/message_box.h"
#include "platform/widgets/qt_open_dialog.h"

namespace dbrepair {
namespace {

class RecordingEngine : public DBEngine {
 public:
  void RepairDatabase(const std::string& path) override { repaired.push_back(path); }
  std::vector<std::string> repaired;
};

void WriteDatedFile(const QString& path, const QByteArray& bytes, time_t modified) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
  file.close();
  const utimbuf times{modified, modified};
  ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &times), 0);
}

constexpr time_t kMarch2020 = 1583323200;  // 2020-03-04 12:00 UTC
constexpr time_t kJune2021 = 1623067200;   // 2021-06-07 12:00 UTC

class FormWiringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageBox::ResetScript();
    QtOpenDialog::ResetScript();
    ASSERT_TRUE(root_.isValid());
    data_ = root_.filePath("prefix/drive_c/users/u/Documents/kelvara directory/data");
    ASSERT_TRUE(QDir().mkpath(data_));
    WriteDatedFile(data_ + "/kvdir.mdb", "current", kJune2021 + 3600);
    WriteDatedFile(data_ + "/kvdir.bak", "older backup", kMarch2020);
    WriteDatedFile(data_ + "/kvdir.bak2", "newer backup", kJune2021);

    folders_ = std::make_unique<WineSpecialFolders>(
        WineEnvironment{root_.filePath("prefix").toStdString(), "u", ""});
    form_ = std::make_unique<Form1>(
        window_, window_.CommonDialog1(),
        Form1Seams{files_, *folders_, [this]() -> DBEngine& { return engine_; },
                   []() -> std::unique_ptr<JetEngine> { return nullptr; }});
    ConnectForm(window_, *form_);
  }
  void TearDown() override {
    MessageBox::ResetScript();
    QtOpenDialog::ResetScript();
  }

  std::string DataFile() const { return (data_ + "/kvdir.mdb").toStdString(); }

  void Click(const char* button) {
    auto* found = window_.findChild<QPushButton*>(QString::fromUtf8(button));
    ASSERT_NE(found, nullptr) << button;
    QTest::mouseClick(found, Qt::LeftButton);
  }

  std::vector<std::string> TitlesShown() const {
    std::vector<std::string> titles;
    for (const auto& box : MessageBox::ScriptedBoxes()) titles.push_back(box.title);
    return titles;
  }

  QTemporaryDir root_;
  QString data_;
  LocalFileSystem files_;
  std::unique_ptr<WineSpecialFolders> folders_;
  RecordingEngine engine_;
  MainWindow window_;
  std::unique_ptr<Form1> form_;
};

TEST_F(FormWiringTest, LoadFindsTheProductDatabaseBeforeTheWindowShows) {
  ASSERT_TRUE(window_.LoadAndShow());
  EXPECT_EQ(window_.CurrentPath(), DataFile());
  EXPECT_EQ(window_.ItemCount(), 1);
  EXPECT_TRUE(MessageBox::ScriptedBoxes().empty());
}

TEST_F(FormWiringTest, RepairRepairsTheFileInThePathBox) {
  ASSERT_TRUE(window_.LoadAndShow());
  MessageBox::SetNextAnswer(kAnswerOk);
  Click("Command1");
  EXPECT_EQ(engine_.repaired, std::vector<std::string>{DataFile()});
  EXPECT_EQ(TitlesShown(), std::vector<std::string>{"Operation Completed"});
  EXPECT_TRUE(QFile::exists(data_ + "/kvdir.1"));
}

struct RestoreRow {
  const char* button;
  const char* backup;  // that the confirmation names
};

class RestoreWiringTest : public FormWiringTest, public ::testing::WithParamInterface<RestoreRow> {};

TEST_P(RestoreWiringTest, RestoreButtonAsksAboutItsBackup) {
  ASSERT_TRUE(window_.LoadAndShow());
  MessageBox::SetNextAnswer(kAnswerNo);
  Click(GetParam().button);
  ASSERT_EQ(TitlesShown(), std::vector<std::string>{"Restore Confirmation"});
  const Date backupDate = files_.GetFileDate((data_ + "/" + GetParam().backup).toStdString());
  EXPECT_EQ(MessageBox::ScriptedBoxes()[0].text,
            "Are you sure you want to restore the backup created on " + DateToText(backupDate) + "?");
  EXPECT_TRUE(engine_.repaired.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, RestoreWiringTest,
                         ::testing::Values(RestoreRow{"cmdRestore", "kvdir.bak2"},
                                           RestoreRow{"cmdRestoreOld", "kvdir.bak"}));

TEST_F(FormWiringTest, CreateBlankErasesTheFileAfterConfirmation) {
  ASSERT_TRUE(window_.LoadAndShow());
  MessageBox::SetNextAnswer(kAnswerYes);
  MessageBox::SetNextAnswer(kAnswerOk);
  Click("cmdDelete");
  EXPECT_EQ(TitlesShown(), (std::vector<std::string>{"Confirm Erase", "Complete"}));
  EXPECT_FALSE(QFile::exists(data_ + "/kvdir.mdb"));
  EXPECT_TRUE(QFile::exists(data_ + "/kvdir.1"));
}

TEST_F(FormWiringTest, BrowsePutsTheChosenFileInThePathBox) {
  ASSERT_TRUE(window_.LoadAndShow());
  QtOpenDialog::SetNextFileName("/elsewhere/shop.mdb");
  Click("CommandBrowse");
  EXPECT_EQ(window_.CurrentPath(), "/elsewhere/shop.mdb");
  ASSERT_EQ(QtOpenDialog::ScriptedDialogs().size(), 1u);
  EXPECT_EQ(QtOpenDialog::ScriptedDialogs()[0].title, "Browse for Files");
  EXPECT_EQ(QtOpenDialog::ScriptedDialogs()[0].initDir, data_.toStdString() + "/");
}

TEST_F(FormWiringTest, CancelClosesTheWindowWithoutAQuestion) {
  ASSERT_TRUE(window_.LoadAndShow());
  Click("Command2");
  EXPECT_FALSE(window_.isVisible());
  EXPECT_TRUE(MessageBox::ScriptedBoxes().empty());
}

TEST_F(FormWiringTest, AnErrorEscapingCreateBlankIsShownAndTheWindowStays) {
  ASSERT_TRUE(window_.LoadAndShow());
  // A folder where the safety backup would go: the copy fails, and Create
  // Blank has no error trap of its own.
  ASSERT_TRUE(QDir().mkpath(data_ + "/kvdir.1"));
  MessageBox::SetNextAnswer(kAnswerOk);
  Click("cmdDelete");
  ASSERT_EQ(TitlesShown(), std::vector<std::string>{"Error Handler"});
  const std::string& text = MessageBox::ScriptedBoxes()[0].text;
  EXPECT_EQ(text.rfind("An internal error has been encountered.\r\n Location: cmdDelete_Click\r\n Error: ", 0), 0u)
      << text;
  EXPECT_EQ(MessageBox::ScriptedBoxes()[0].buttons, kButtonsOk);
  EXPECT_TRUE(window_.isVisible());
  EXPECT_TRUE(QFile::exists(data_ + "/kvdir.mdb"));
  EXPECT_EQ(window_.cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace dbrepair
