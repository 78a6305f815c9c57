#include "app/window/form_window.h"

namespace dbrepair {

void FormWindow::End() {
  QuitAtOnce();
  throw EndProgram{};
}

void FormWindow::DoEvents() {
  HandlePendingEvents();
  // A handler run from here may have ended the program: then this one ends too.
  if (programEnded_) throw EndProgram{};
}

bool FormWindow::Load() {
  Dispatch(FormEvent::Load);
  return !programEnded_ && !unloaded_;
}

void FormWindow::Dispatch(FormEvent event) {
  if (RunHandler(event)) QuitAtOnce();
}

void FormWindow::QuitAtOnce() {
  programEnded_ = true;
  unloaded_ = true;
  HideAndLeave();
}

}  // namespace dbrepair
