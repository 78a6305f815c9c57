// The main window's events that run code, and what a window offers to put
// handlers behind them. The Qt window and the Win32 window both offer it, so
// Form1's handlers are wired the same way on every system.
#pragma once

#include <functional>
#include <map>

#include "app/window/event_dispatch.h"

namespace dbrepair {

enum class FormEvent {
  Load,              // Form_Load, before the window is first shown
  RepairClick,       // Command1_Click
  RestoreNewClick,   // cmdRestore_Click
  RestoreOldClick,   // cmdRestoreOld_Click
  CreateBlankClick,  // cmdDelete_Click
  BrowseClick,       // CommandBrowse_Click
  CancelClick,       // Command2_Click
};

// The handler's name, as error messages name it.
const char* HandlerName(FormEvent event);

class FormEvents {
 public:
  virtual ~FormEvents() = default;
  // The code that an event runs; an event without a handler runs nothing.
  virtual void SetHandler(FormEvent event, std::function<void()> handler) = 0;
  // What shows an error that escapes a handler without an error trap, and
  // puts the pointer back.
  virtual void SetEscapedErrorReporter(EscapedErrorReporter report) = 0;
};

// The handlers a window keeps behind its events, and running one of them.
class FormEventHandlers : public FormEvents {
 public:
  void SetHandler(FormEvent event, std::function<void()> handler) override;
  void SetEscapedErrorReporter(EscapedErrorReporter report) override { reportEscaped_ = std::move(report); }

 protected:
  // Runs the event's handler, if it has one; true when the handler ended
  // the program.
  bool RunHandler(FormEvent event);

 private:
  std::map<FormEvent, std::function<void()>> handlers_;
  EscapedErrorReporter reportEscaped_;
};

}  // namespace dbrepair
