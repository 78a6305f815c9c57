// What the Qt window and the Win32 window share beyond their controls:
// Form1's handlers behind the events, and the two ways the program ends, at
// once (endProgram) or once the running handler has returned (the window
// unloaded).
#pragma once

#include "app/window/form_events.h"
#include "platform/user_interface.h"

namespace dbrepair {

class FormWindow : public UserInterface, public FormEventHandlers {
 public:
  // True once a handler has ended the program (the caller of the event loop
  // then returns at once).
  bool programEnded() const { return programEnded_; }

  [[noreturn]] void endProgram() final;
  void doEvents() final;

 protected:
  // Runs Form_Load; false when it unloaded the window or ended the program,
  // and the window is then not to be shown.
  bool load();
  // Runs the event's handler; when the handler ended the program, ends it.
  void dispatch(FormEvent event);
  // The window is gone: the event loop ends once the running handler returns.
  void markUnloaded() { unloaded_ = true; }
  bool unloaded() const { return unloaded_; }

 private:
  // Hides the window and leaves the event loop, for an end at once.
  virtual void hideAndLeave() = 0;
  // Handles the window events that are waiting, once.
  virtual void handlePendingEvents() = 0;
  void quitAtOnce();

  bool unloaded_ = false;
  bool programEnded_ = false;
};

}  // namespace dbrepair
