#include "platform/widgets/message_box.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

#include "platform/user_interface.h"
#include "support/modal.h"
#include "support/qt_printers.h"

namespace dbrepair {
namespace {

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { MessageBox::ResetScript(); }
  void TearDown() override { MessageBox::ResetScript(); }
};

TEST_F(MessageBoxTest, YesNoBoxHasNoIconAndYesAsDefault) {
  auto box = MessageBox::Build(nullptr, "Go on?", kButtonsYesNo, "Error Handler");
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("Error Handler"));
  EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
  ASSERT_NE(box->defaultButton(), nullptr);
  EXPECT_EQ(box->standardButton(box->defaultButton()), QMessageBox::Yes);
  for (QAbstractButton* button : box->buttons()) EXPECT_TRUE(button->icon().isNull());
}

TEST_F(MessageBoxTest, OkBoxHasOneButtonAndNoIcon) {
  auto box = MessageBox::Build(nullptr, "Database Repair Completed", kButtonsOk, "Operation Completed");
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
  EXPECT_EQ(box->buttons().size(), 1);
}

TEST_F(MessageBoxTest, TextKeepsItsLineBreaksAndShowsMarkupAsTyped) {
  auto box = MessageBox::Build(nullptr, "An internal error has been encountered.\r\n Text: <b>x</b>\r\n\r\nEnd",
                               kButtonsYesNo, "Error Handler");
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
  EXPECT_EQ(box->text(), QStringLiteral("An internal error has been encountered.\n Text: <b>x</b>\n\nEnd"));
}

struct KeyRow {
  int buttons;
  Qt::Key key;
  int expected;
};

class MessageBoxKeyTest : public MessageBoxTest, public ::testing::WithParamInterface<KeyRow> {};

// The real box, shown modally and answered from the keyboard.
TEST_P(MessageBoxKeyTest, ReturnsTheAnswerOfTheKeyPressed) {
  test_support::WhenModalShown([key = GetParam().key](QWidget* modal) { QTest::keyClick(modal, key); });
  EXPECT_EQ(MessageBox::Show(nullptr, "Question", GetParam().buttons, "Title"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MessageBoxKeyTest,
                         ::testing::Values(KeyRow{kButtonsYesNo, Qt::Key_Return, kAnswerYes},
                                           KeyRow{kButtonsYesNo, Qt::Key_Escape, kAnswerNo},
                                           KeyRow{kButtonsYesNo, Qt::Key_N, kAnswerNo},
                                           KeyRow{kButtonsOk, Qt::Key_Return, kAnswerOk},
                                           KeyRow{kButtonsOk, Qt::Key_Escape, kAnswerOk}));

TEST_F(MessageBoxTest, ClickingNoAnswersNo) {
  test_support::WhenModalShown([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(MessageBox::Show(nullptr, "Question", kButtonsYesNo, "Title"), kAnswerNo);
}

TEST_F(MessageBoxTest, QueuedAnswersAreTakenInOrderAndRecorded) {
  MessageBox::SetNextAnswer(kAnswerNo);
  MessageBox::SetNextAnswer(kAnswerOk);
  EXPECT_EQ(MessageBox::Show(nullptr, "Continue?", kButtonsYesNo, "Error Handler"), kAnswerNo);
  EXPECT_EQ(MessageBox::Show(nullptr, "Done", kButtonsOk, "Operation Completed"), kAnswerOk);

  const auto& shown = MessageBox::ScriptedBoxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Continue?");
  EXPECT_EQ(shown[0].buttons, kButtonsYesNo);
  EXPECT_EQ(shown[0].title, "Error Handler");
  EXPECT_EQ(shown[0].answer, kAnswerNo);
  EXPECT_EQ(shown[1].title, "Operation Completed");

  // The queue is used up: the next box is the real one.
  test_support::WhenModalShown([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
  EXPECT_EQ(MessageBox::Show(nullptr, "Real", kButtonsYesNo, "Title"), kAnswerYes);
  EXPECT_EQ(MessageBox::ScriptedBoxes().size(), 2u);
}

TEST_F(MessageBoxTest, QueuedAnswerThatTheBoxDoesNotOfferFails) {
  MessageBox::SetNextAnswer(kAnswerYes);
  EXPECT_THROW(MessageBox::Show(nullptr, "Done", kButtonsOk, "Operation Completed"), std::logic_error);
  MessageBox::SetNextAnswer(kAnswerOk);
  EXPECT_THROW(MessageBox::Show(nullptr, "Go on?", kButtonsYesNo, "Error Handler"), std::logic_error);
}

}  // namespace
}  // namespace dbrepair
