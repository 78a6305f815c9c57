#include "app/window/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "platform/runtime_error.h"
#include "platform/widgets/message_box.h"
#include "support/qt_printers.h"

namespace dbrepair {
namespace {

// The controls as the user meets them; positions in twips.
struct ControlRow {
  const char* name;
  const char* caption;
  const char* tooltip;
  int left, top, width, height;
};

const ControlRow kControls[] = {
    {"Label1", "Database Name:", "", 240, 120, 1335, 255},
    {"Combo1", "Combo1", "Enter the full path to the database to be repaired", 240, 360, 9615, 315},
    {"CommandBrowse", "Browse...", "Browse for the database file", 10080, 360, 1095, 375},
    {"Command1", "Repair", "Repair the Current Database", 5280, 960, 1095, 375},
    {"cmdRestore", "Restore New", "Restore from the most recent backup", 6480, 960, 1095, 375},
    {"cmdRestoreOld", "Restore Old", "Restore from the older backup", 7680, 960, 1095, 375},
    {"cmdDelete", "Create Blank", "Erase all of the data and start over", 8880, 960, 1095, 375},
    {"Command2", "Cancel", "Exit the program", 10080, 960, 1095, 375},
};

QString CaptionOf(QWidget* control) {
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* combo = qobject_cast<QComboBox*>(control)) return combo->currentText();
  if (auto* button = qobject_cast<QPushButton*>(control)) return button->text();
  return QStringLiteral("?");
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageBox::ResetScript();
    window_ = std::make_unique<MainWindow>();
  }
  void TearDown() override { MessageBox::ResetScript(); }

  template <typename T = QWidget>
  T* Control(const char* name) {
    auto* found = window_->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  void ShowAndActivate() {
    ASSERT_TRUE(window_->LoadAndShow());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, ControlsStandAtTheirPlacesWithTheirTexts) {
  ShowAndActivate();
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* widget = Control(row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), QRect(row.left / 15, row.top / 15, row.width / 15, row.height / 15));
    EXPECT_EQ(CaptionOf(widget), QString::fromUtf8(row.caption));
    EXPECT_EQ(widget->toolTip(), QString::fromUtf8(row.tooltip));
    EXPECT_TRUE(widget->isVisible());
    EXPECT_TRUE(widget->isEnabled());
  }
}

TEST_F(MainWindowTest, EveryCaptionFitsItsControl) {
  for (const ControlRow& row : kControls) {
    auto* widget = Control(row.name);
    ASSERT_NE(widget, nullptr);
    if (qobject_cast<QComboBox*>(widget)) continue;
    const int width = QFontMetrics(widget->font()).horizontalAdvance(CaptionOf(widget));
    EXPECT_LE(width, widget->width()) << row.name << " shows \"" << row.caption << "\" " << width
                                      << " pixels wide in " << widget->width();
  }
}

TEST_F(MainWindowTest, WindowHasItsTitleFixedSizeAndStandsCentred) {
  ShowAndActivate();
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("Database Repair Utility"));
  EXPECT_EQ(window_->size(), QSize(11490 / 15, 1605 / 15));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  const QRect screen = window_->screen()->availableGeometry();
  const QPoint offset = window_->geometry().center() - screen.center();
  EXPECT_LE(offset.manhattanLength(), 2) << "window centre off the screen centre by " << offset.x() << ","
                                         << offset.y();
}

TEST_F(MainWindowTest, RepairHasTheFocusAtFirstAndTabGoesRoundInOrder) {
  ShowAndActivate();
  const char* order[] = {"Command2", "CommandBrowse", "Combo1", "cmdRestore", "cmdRestoreOld", "cmdDelete", "Command1"};
  EXPECT_TRUE(Control("Command1")->hasFocus());
  for (const char* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(Control(next)->hasFocus()) << "expected the focus on " << next << ", found it on "
                                           << QApplication::focusWidget()->objectName().toStdString() << " / "
                                           << QApplication::focusWidget()->metaObject()->className();
  }
}

TEST_F(MainWindowTest, EnterAndEscapePressNoButtonButSpacePressesTheFocusedOne) {
  int repairs = 0;
  int cancels = 0;
  window_->SetHandler(FormEvent::RepairClick, [&] { ++repairs; });
  window_->SetHandler(FormEvent::CancelClick, [&] { ++cancels; });
  ShowAndActivate();
  for (auto* button : window_->findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
    EXPECT_FALSE(button->autoDefault()) << button->objectName().toStdString();
  }
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    QTest::keyClick(QApplication::focusWidget(), key);
  }
  EXPECT_EQ(repairs, 0);
  EXPECT_EQ(cancels, 0);
  EXPECT_TRUE(window_->isVisible());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(repairs, 1);
}

TEST_F(MainWindowTest, EachButtonRunsItsHandler) {
  const std::pair<const char*, FormEvent> wiring[] = {
      {"Command1", FormEvent::RepairClick},         {"cmdRestore", FormEvent::RestoreNewClick},
      {"cmdRestoreOld", FormEvent::RestoreOldClick}, {"cmdDelete", FormEvent::CreateBlankClick},
      {"CommandBrowse", FormEvent::BrowseClick},     {"Command2", FormEvent::CancelClick}};
  std::vector<FormEvent> ran;
  for (const auto& [name, event] : wiring) window_->SetHandler(event, [&ran, event = event] { ran.push_back(event); });
  ShowAndActivate();
  for (const auto& [name, event] : wiring) {
    ran.clear();
    QTest::mouseClick(Control(name), Qt::LeftButton);
    EXPECT_EQ(ran, std::vector<FormEvent>{event}) << name;
  }
}

TEST_F(MainWindowTest, LoadRunsBeforeTheWindowIsShown) {
  bool visibleDuringLoad = true;
  window_->SetHandler(FormEvent::Load, [&] {
    visibleDuringLoad = window_->isVisible();
    window_->AppendItem("/home/u/kvdir.mdb");
    window_->SelectItem(0);
  });
  ShowAndActivate();
  EXPECT_FALSE(visibleDuringLoad);
  EXPECT_EQ(window_->CurrentPath(), "/home/u/kvdir.mdb");
}

TEST_F(MainWindowTest, UnloadOrEndDuringLoadShowsNoWindow) {
  window_->SetHandler(FormEvent::Load, [&] { window_->UnloadWindow(); });
  EXPECT_FALSE(window_->LoadAndShow());
  EXPECT_FALSE(window_->isVisible());

  MainWindow ending;
  ending.SetHandler(FormEvent::Load, [&] { ending.End(); });
  EXPECT_FALSE(ending.LoadAndShow());
  EXPECT_TRUE(ending.ProgramEnded());
  EXPECT_FALSE(ending.isVisible());
}

TEST_F(MainWindowTest, EscapedErrorIsReportedAndTheProgramGoesOn) {
  std::vector<std::string> reported;
  window_->SetEscapedErrorReporter([&](const std::string& handler, std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const RuntimeError& raised) {
      reported.push_back(handler + " " + std::to_string(raised.Number()));
    }
  });
  window_->SetHandler(FormEvent::CreateBlankClick, [] { throw RuntimeError(70, "Permission denied"); });
  window_->SetHandler(FormEvent::Load, [] { throw RuntimeError(53, "File not found"); });
  ShowAndActivate();
  QTest::mouseClick(Control("cmdDelete"), Qt::LeftButton);
  EXPECT_EQ(reported, (std::vector<std::string>{"Form_Load 53", "cmdDelete_Click 70"}));
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(window_->ProgramEnded());
}

TEST_F(MainWindowTest, EndProgramInAHandlerEndsAtOnce) {
  bool after = false;
  window_->SetHandler(FormEvent::RestoreNewClick, [&] {
    window_->End();
    after = true;
  });
  ShowAndActivate();
  QTest::mouseClick(Control("cmdRestore"), Qt::LeftButton);
  EXPECT_FALSE(after);
  EXPECT_TRUE(window_->ProgramEnded());
  EXPECT_FALSE(window_->isVisible());
}

TEST_F(MainWindowTest, CancelHandlerUnloadingClosesTheWindow) {
  window_->SetHandler(FormEvent::CancelClick, [&] { window_->UnloadWindow(); });
  ShowAndActivate();
  QTest::mouseClick(Control("Command2"), Qt::LeftButton);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_FALSE(window_->ProgramEnded());
}

TEST_F(MainWindowTest, DoEventsRunsAWaitingClickAndEndsWhenThatEndedTheProgram) {
  std::vector<std::string> ran;
  bool browseFinished = false;
  window_->SetHandler(FormEvent::RepairClick, [&] { ran.push_back("repair"); });
  window_->SetHandler(FormEvent::CancelClick, [&] { window_->End(); });
  window_->SetHandler(FormEvent::BrowseClick, [&] {
    QMetaObject::invokeMethod(Control<QPushButton>("Command1"), "click", Qt::QueuedConnection);
    window_->DoEvents();
    ran.push_back("browse after events");
    QMetaObject::invokeMethod(Control<QPushButton>("Command2"), "click", Qt::QueuedConnection);
    window_->DoEvents();
    browseFinished = true;
  });
  ShowAndActivate();
  QTest::mouseClick(Control("CommandBrowse"), Qt::LeftButton);
  EXPECT_EQ(ran, (std::vector<std::string>{"repair", "browse after events"}));
  EXPECT_FALSE(browseFinished);
  EXPECT_TRUE(window_->ProgramEnded());
}

TEST_F(MainWindowTest, BusyPointerCoversTheWindowAndEveryControlAndGoesBack) {
  ShowAndActivate();
  auto* edit = Control<QComboBox>("Combo1")->lineEdit();
  ASSERT_NE(edit, nullptr);
  const Qt::CursorShape editShape = edit->cursor().shape();
  EXPECT_EQ(editShape, Qt::IBeamCursor);

  window_->SetBusyPointer();
  EXPECT_EQ(window_->cursor().shape(), Qt::WaitCursor);
  for (QWidget* widget : window_->findChildren<QWidget*>()) {
    EXPECT_EQ(widget->cursor().shape(), Qt::WaitCursor) << widget->metaObject()->className() << " "
                                                        << widget->objectName().toStdString();
  }

  window_->SetNormalPointer();
  EXPECT_EQ(window_->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Control("Command1")->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(edit->cursor().shape(), editShape);
}

TEST_F(MainWindowTest, PathBoxStartsWithItsNameAndAnEmptyList) {
  EXPECT_EQ(window_->CurrentPath(), "Combo1");
  EXPECT_EQ(window_->ItemCount(), 0);
}

TEST_F(MainWindowTest, AppendingItemsLeavesTheTextAndKeepsDuplicates) {
  window_->AppendItem("/a/kvdir.mdb");
  window_->AppendItem("/a/kvdir.mdb");
  window_->AppendItem("/b/pw.mdb");
  EXPECT_EQ(window_->CurrentPath(), "Combo1");
  EXPECT_EQ(window_->ItemCount(), 3);

  window_->SelectItem(2);
  EXPECT_EQ(window_->CurrentPath(), "/b/pw.mdb");
  window_->SetCurrentPath("  /typed/ shop.mdb ");
  EXPECT_EQ(window_->CurrentPath(), "  /typed/ shop.mdb ");
  EXPECT_EQ(window_->ItemCount(), 3);
  // Picking the item that is current already copies it into the text again.
  window_->SelectItem(2);
  EXPECT_EQ(window_->CurrentPath(), "/b/pw.mdb");
  // There is no item 3: the text stays.
  window_->SetCurrentPath("/typed.mdb");
  window_->SelectItem(3);
  EXPECT_EQ(window_->CurrentPath(), "/typed.mdb");
}

TEST_F(MainWindowTest, TypedTextIsNeitherCompletedNorAddedToTheList) {
  window_->AppendItem("/home/u/kvdir.mdb");
  ShowAndActivate();
  auto* combo = Control<QComboBox>("Combo1");
  combo->setFocus();
  combo->lineEdit()->clear();
  QTest::keyClicks(combo->lineEdit(), "/home");
  EXPECT_EQ(window_->CurrentPath(), "/home");
  QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(window_->ItemCount(), 1);
  EXPECT_EQ(window_->CurrentPath(), "/home");
}

}  // namespace
}  // namespace dbrepair
