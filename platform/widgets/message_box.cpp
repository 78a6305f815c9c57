#include "platform/widgets/message_box.h"

#include <QAbstractButton>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <deque>
#include <stdexcept>

#include "platform/user_interface.h"

namespace dbrepair {
namespace {

std::deque<int>& QueuedAnswers() {
  static std::deque<int> answers;
  return answers;
}

std::vector<MessageBox::Scripted>& ScriptedRecord() {
  static std::vector<MessageBox::Scripted> record;
  return record;
}

bool OffersAnswer(int buttons, int answer) {
  if (buttons == kButtonsYesNo) return answer == kAnswerYes || answer == kAnswerNo;
  return answer == kAnswerOk;
}

// The texts come with Windows line breaks; a lone CR would show as a glyph.
QString DisplayText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace

std::unique_ptr<QMessageBox> MessageBox::Build(QWidget* parent, const std::string& text, int buttons,
                                               const std::string& title) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setIcon(QMessageBox::NoIcon);
  box->setWindowTitle(QString::fromStdString(title));
  box->setTextFormat(Qt::PlainText);
  box->setText(DisplayText(text));
  if (buttons == kButtonsYesNo) {
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::Yes);
    box->setEscapeButton(QMessageBox::No);
  } else {
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
  }
  // Some styles put pictures on Yes and No; the box shows words alone.
  for (QAbstractButton* button : box->buttons()) button->setIcon(QIcon());
  return box;
}

int MessageBox::Show(QWidget* parent, const std::string& text, int buttons, const std::string& title) {
  if (!QueuedAnswers().empty()) {
    const int answer = QueuedAnswers().front();
    QueuedAnswers().pop_front();
    if (!OffersAnswer(buttons, answer)) {
      throw std::logic_error("scripted answer " + std::to_string(answer) +
                             " does not fit the box \"" + title + "\" with buttons " +
                             std::to_string(buttons));
    }
    ScriptedRecord().push_back({text, buttons, title, answer});
    return answer;
  }

  auto box = Build(parent, text, buttons, title);
  box->exec();
  const QMessageBox::StandardButton pressed = box->standardButton(box->clickedButton());
  if (buttons != kButtonsYesNo) return kAnswerOk;
  return pressed == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

void MessageBox::SetNextAnswer(int answer) { QueuedAnswers().push_back(answer); }

void MessageBox::ResetScript() {
  QueuedAnswers().clear();
  ScriptedRecord().clear();
}

const std::vector<MessageBox::Scripted>& MessageBox::ScriptedBoxes() { return ScriptedRecord(); }

}  // namespace dbrepair
