#include "operations/error_trap.h"

#include <exception>

#include "platform/runtime_error.h"

namespace dbrepair {

namespace {

constexpr const char* kCrLf = "\r\n";

}  // namespace

std::string ErrorReportText(const std::string& location, std::int32_t number,
                            const std::string& description) {
  return std::string("An internal error has been encountered.") + kCrLf + location + kCrLf +
         " Error: " + std::to_string(number) + kCrLf + " Text: " + description + kCrLf + kCrLf +
         "Would you like to continue with the program?";
}

bool ShowErrorReport(UserInterface& ui, const std::string& location, std::int32_t number,
                     const std::string& description) {
  return ui.messageBox(ErrorReportText(location, number, description), kButtonsYesNo,
                       "Error Handler") == kAnswerYes;
}

bool ErrorTrap::run(const std::function<void()>& statement) {
  try {
    statement();
    return true;
  } catch (const RuntimeError& error) {
    handle(error.number(), error.description());
  } catch (const std::exception& error) {
    handle(kErrInternal, error.what());
  }
  return false;
}

bool ErrorTrap::condition(const std::function<bool()>& test) {
  bool result = true;
  run([&] { result = test(); });
  return result;
}

void ErrorTrap::ignoreErrors(const std::function<void()>& statement) {
  try {
    statement();
  } catch (const std::exception&) {
    // The ignoring state: the next statement runs.
  }
}

void ErrorTrap::handle(std::int32_t number, const std::string& description) {
  if (special_action_ && number == special_number_) {
    if (special_action_()) return;
    throw LeaveHandler{};
  }
  if (ShowErrorReport(ui_, location_, number, description)) return;
  switch (quit_) {
    case QuitAction::UnloadWindow:
      ui_.unloadWindow();
      throw LeaveHandler{};
    case QuitAction::EndProgram:
      ui_.endProgram();
  }
  throw LeaveHandler{};
}

}  // namespace dbrepair
