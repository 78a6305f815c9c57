#include "scripted_user_interface.h"

#include <gtest/gtest.h>

namespace dbrepair::testing {

void PrintTo(const ShownBox& box, std::ostream* out) {
  *out << "[" << box.title << ", buttons " << box.buttons << "] \"" << box.text << "\"";
}

void ScriptedUserInterface::SetBusyPointer() {
  pointer = Pointer::Busy;
  log.push_back("busy");
}

void ScriptedUserInterface::SetNormalPointer() {
  pointer = Pointer::Normal;
  log.push_back("normal");
}

void ScriptedUserInterface::SelectItem(int index) {
  if (index < 0 || index >= static_cast<int>(items.size())) {
    ADD_FAILURE() << "SelectItem(" << index << ") with " << items.size() << " items";
    return;
  }
  path = items[static_cast<size_t>(index)];
}

int ScriptedUserInterface::MsgBox(const std::string& text, int buttons,
                                      const std::string& title) {
  if (unloaded) ADD_FAILURE() << "message box \"" << title << "\" after the window was unloaded";
  boxes.push_back(ShownBox{text, buttons, title});
  log.push_back("box " + title);
  if (buttons != kButtonsYesNo) return kAnswerOk;
  if (answers.empty()) {
    ADD_FAILURE() << "no scripted answer for \"" << title << "\": " << text;
    return kAnswerNo;
  }
  int answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedUserInterface::UnloadWindow() {
  unloaded = true;
  log.push_back("unload");
}

void ScriptedUserInterface::End() {
  unloaded = true;
  log.push_back("end");
  throw EndProgram{};
}

void ScriptedUserInterface::DoEvents() {
  log.push_back("doEvents");
  if (pending_events) pending_events();
}

std::vector<std::string> ScriptedUserInterface::Titles() const {
  std::vector<std::string> result;
  for (const auto& box : boxes) result.push_back(box.title);
  return result;
}

}  // namespace dbrepair::testing
