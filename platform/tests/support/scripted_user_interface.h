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
  // Runs at each doEvents() (a click waiting in the queue).
  std::function<void()> pending_events;

  std::vector<ShownBox> boxes;
  // Everything that happened, in order: "busy", "normal", "box <title>",
  // "unload", "end", "doEvents".
  std::vector<std::string> log;
  Pointer pointer = Pointer::Normal;
  bool unloaded = false;

  void setBusyPointer() override;
  void setNormalPointer() override;
  std::string currentPath() override { return path; }
  void setCurrentPath(const std::string& text) override { path = text; }
  void appendItem(const std::string& item) override { items.push_back(item); }
  int itemCount() override { return static_cast<int>(items.size()); }
  void selectItem(int index) override;
  int messageBox(const std::string& text, int buttons, const std::string& title) override;
  void unloadWindow() override;
  [[noreturn]] void endProgram() override;
  void doEvents() override;
  std::string programFolder() override { return program_folder; }

  std::vector<std::string> titles() const;
};

}  // namespace dbrepair::testing
