// What the Qt window and the Win32 window share beyond their controls:
// Form1's handlers behind the events, and the two ways the program ends, at
// once (End) or once the running handler has returned (the window
// unloaded).
#pragma once

#include "app/window/form_events.h"
#include "platform/user_interface.h"

namespace dbrepair {

class FormWindow : public UserInterface, public FormEventHandlers {
 public:
  // True once a handler has ended the program (the caller of the event loop
  // then returns at once).
  bool ProgramEnded() const { return programEnded_; }

  [[noreturn]] void End() final;
  void DoEvents() final;

 protected:
  // Runs Form_Load; false when it unloaded the window or ended the program,
  // and the window is then not to be shown.
  bool Load();
  // Runs the event's handler; when the handler ended the program, ends it.
  void Dispatch(FormEvent event);
  // The window is gone: the event loop ends once the running handler returns.
  void MarkUnloaded() { unloaded_ = true; }
  bool Unloaded() const { return unloaded_; }

 private:
  // Hides the window and leaves the event loop, for an end at once.
  virtual void HideAndLeave() = 0;
  // Handles the window events that are waiting, once.
  virtual void HandlePendingEvents() = 0;
  void QuitAtOnce();

  bool unloaded_ = false;
  bool programEnded_ = false;
};

}  // namespace dbrepair
