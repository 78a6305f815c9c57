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
  return ui.MsgBox(ErrorReportText(location, number, description), kButtonsYesNo,
                       "Error Handler") == kAnswerYes;
}

bool ErrorTrap::Run(const std::function<void()>& statement) {
  try {
    statement();
    return true;
  } catch (const RuntimeError& error) {
    Handle(error.Number(), error.Description());
  } catch (const std::exception& error) {
    Handle(kErrInternal, error.what());
  }
  return false;
}

bool ErrorTrap::Condition(const std::function<bool()>& test) {
  bool result = true;
  Run([&] { result = test(); });
  return result;
}

void ErrorTrap::IgnoreErrors(const std::function<void()>& statement) {
  try {
    statement();
  } catch (const std::exception&) {
    // The ignoring state: the next statement runs.
  }
}

void ErrorTrap::Handle(std::int32_t number, const std::string& description) {
  if (special_action_ && number == special_number_) {
    if (special_action_()) return;
    throw LeaveHandler{};
  }
  if (ShowErrorReport(ui_, location_, number, description)) return;
  switch (quit_) {
    case QuitAction::UnloadWindow:
      ui_.UnloadWindow();
      throw LeaveHandler{};
    case QuitAction::EndProgram:
      ui_.End();
  }
  throw LeaveHandler{};
}

}  // namespace dbrepair
