// The modal message box of the main window, built on QMessageBox: never an
// icon; one OK button, or Yes and No with Yes the default.
//
// Tests and scripted runs queue answers with SetNextAnswer(): while answers
// are queued, Show() records the box and returns the next answer without
// showing anything, so that no human is needed.
#pragma once

#include <memory>
#include <string>
#include <vector>

class QMessageBox;
class QWidget;

namespace dbrepair {

class MessageBox {
 public:
  // A box that Show() answered from the queue.
  struct Scripted {
    std::string text;
    int buttons;
    std::string title;
    int answer;
  };

  // The box as Show() puts it on screen: plain text (CRLF line breaks become
  // line breaks, "<" stays a character), no icon, buttons kButtonsOk or
  // kButtonsYesNo; any other buttons value gives OK alone.
  static std::unique_ptr<QMessageBox> Build(QWidget* parent, const std::string& text, int buttons,
                                            const std::string& title);

  // Modal. Returns kAnswerOk, kAnswerYes or kAnswerNo. Closing the box
  // through the window system answers No (Yes and No) or OK (OK alone).
  static int Show(QWidget* parent, const std::string& text, int buttons, const std::string& title);

  // Queues the answer of the next box. An answer that the box does not offer
  // (Yes to an OK box) raises std::logic_error when that box comes, so a
  // script that is out of step with the program fails loudly.
  static void SetNextAnswer(int answer);
  // Forgets queued answers and the record of scripted boxes.
  static void ResetScript();
  // The boxes answered from the queue since the last ResetScript(), in order.
  static const std::vector<Scripted>& ScriptedBoxes();
};

}  // namespace dbrepair
