// The user-interface operations through which the handlers reach the main
// window. The Qt window implements them; tests script them. Nothing behind
// this interface may assume a window system.
#pragma once

#include <string>

namespace dbrepair {

// Message box buttons and answers.
inline constexpr int kButtonsOk = 0;
inline constexpr int kButtonsYesNo = 4;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// Thrown by End(): ends the program at once, without finishing the
// running handler. The event loop's dispatcher catches it and quits.
struct EndProgram {};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // The busy pointer (hourglass) over the window and all its controls, and
  // back to the default.
  virtual void SetBusyPointer() = 0;
  virtual void SetNormalPointer() = 0;

  // The combo box: its text, whole and untrimmed, and its list.
  virtual std::string CurrentPath() = 0;
  virtual void SetCurrentPath(const std::string& path) = 0;
  virtual void AppendItem(const std::string& item) = 0;
  virtual int ItemCount() = 0;
  virtual void SelectItem(int index) = 0;  // copies the item into the text

  // A modal box without icon; buttons kButtonsOk or kButtonsYesNo (Yes is the
  // default). Returns kAnswerOk, kAnswerYes or kAnswerNo.
  virtual int MsgBox(const std::string& text, int buttons, const std::string& title) = 0;

  // Closes the window; the program ends once the running handler returns.
  virtual void UnloadWindow() = 0;
  // Ends the program at once: throws EndProgram after closing the window.
  [[noreturn]] virtual void End() = 0;
  // Handles the window events that are waiting, once.
  virtual void DoEvents() = 0;
  // The folder that holds the program's executable, with a trailing "/".
  virtual std::string ProgramFolder() = 0;
};

}  // namespace dbrepair
