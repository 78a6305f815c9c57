#include "app/window/form_window.h"

namespace dbrepair {

void FormWindow::endProgram() {
  quitAtOnce();
  throw EndProgram{};
}

void FormWindow::doEvents() {
  handlePendingEvents();
  // A handler run from here may have ended the program: then this one ends too.
  if (programEnded_) throw EndProgram{};
}

bool FormWindow::load() {
  dispatch(FormEvent::Load);
  return !programEnded_ && !unloaded_;
}

void FormWindow::dispatch(FormEvent event) {
  if (runHandler(event)) quitAtOnce();
}

void FormWindow::quitAtOnce() {
  programEnded_ = true;
  unloaded_ = true;
  hideAndLeave();
}

}  // namespace dbrepair
