// A window for the handlers' tests: it records every message box and every
// pointer change, in order, and answers Yes/No boxes from a script.
#pragma once

#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/user_interface.h"

namespace dbrepair::testing {

struct ShownBox {
  std::string text;
  int buttons;
  std::string title;
  bool operator==(const ShownBox&) const = default;
};

// Failure messages show the box's title, buttons and text.
void PrintTo(const ShownBox& box, std::ostream* out);

class ScriptedUserInterface : public UserInterface {
 public:
  enum class Pointer { Normal, Busy };

  // Answers for the Yes/No boxes, in order; a Yes/No box beyond the script
  // fails the test and is answered No.
  std::deque<int> answers;
  std::string path = "Combo1";
  std::vector<std::string> items;
  std::string program_folder = "/opt/dbrepair/";
  // Runs at each DoEvents() (a click waiting in the queue).
  std::function<void()> pending_events;

  std::vector<ShownBox> boxes;
  // Everything that happened, in order: "busy", "normal", "box <title>",
  // "unload", "end", "doEvents".
  std::vector<std::string> log;
  Pointer pointer = Pointer::Normal;
  bool unloaded = false;

  void SetBusyPointer() override;
  void SetNormalPointer() override;
  std::string CurrentPath() override { return path; }
  void SetCurrentPath(const std::string& text) override { path = text; }
  void AppendItem(const std::string& item) override { items.push_back(item); }
  int ItemCount() override { return static_cast<int>(items.size()); }
  void SelectItem(int index) override;
  int MsgBox(const std::string& text, int buttons, const std::string& title) override;
  void UnloadWindow() override;
  [[noreturn]] void End() override;
  void DoEvents() override;
  std::string ProgramFolder() override { return program_folder; }

  std::vector<std::string> Titles() const;
};

}  // namespace dbrepair::testing
