#include "scripted_open_dialog.h"

#include <gtest/gtest.h>

#include "platform/runtime_error.h"

namespace dbrepair::testing {

void ScriptedOpenDialog::ShowOpen() {
  ++shown;
  std::optional<std::string> choice;
  if (choices.empty()) {
    ADD_FAILURE() << "the Open dialog was shown without a scripted choice";
  } else {
    choice = choices.front();
    choices.pop_front();
  }
  if (choice) {
    file_name_ = *choice;
  } else if (cancel_error) {
    throw RuntimeError(kCancelErrorNumber, kCancelErrorText);
  }
}

}  // namespace dbrepair::testing
