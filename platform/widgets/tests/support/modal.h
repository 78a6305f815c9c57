// Acting on a modal window from inside its own event loop: tests of real
// message boxes and dialogs queue the action before they call exec().
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace dbrepair::test_support {

// Runs act(modal) once a modal window is up, polling the event loop for up
// to five seconds; gives up quietly after that, so that the test's own
// assertions report the failure instead of a hang.
inline void WhenModalShown(std::function<void(QWidget*)> act, int triesLeft = 500) {
  QTimer::singleShot(10, [act = std::move(act), triesLeft]() mutable {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      act(modal);
    } else if (triesLeft > 0) {
      WhenModalShown(std::move(act), triesLeft - 1);
    }
  });
}

}  // namespace dbrepair::test_support
