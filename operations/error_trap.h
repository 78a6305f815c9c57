// The error trap of the command handlers: a run-time error raised by one
// statement is shown in the standard report, and the user either carries on
// with the next statement or leaves.
//
// A handler runs each statement through its trap. Run() returns whether the
// statement completed; when it did not, the user chose to carry on and the
// handler goes on at the place its resume table names. Condition() runs the
// test of an If and, when the test fails and the user carries on, answers
// true, as if the test had held. Leaving unwinds the handler with
// LeaveHandler, which the handler's outermost frame catches.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/user_interface.h"

namespace dbrepair {

// The report's text: the location text begins with a blank, as
// " Location: Command1_Click".
std::string ErrorReportText(const std::string& location, std::int32_t number,
                            const std::string& description);

// Shows the report (title "Error Handler", Yes and No); true on Yes.
bool ShowErrorReport(UserInterface& ui, const std::string& location, std::int32_t number,
                     const std::string& description);

// The number and description the trap reports for anything thrown that is
// not a RuntimeError (an internal error of this program).
inline constexpr std::int32_t kErrInternal = 51;

// Unwinds a handler that the user chose to leave, or that must stop after
// its special action. Not an exception a trap catches.
struct LeaveHandler {};

enum class QuitAction {
  UnloadWindow,  // close the window; the program ends once the handler returns
  EndProgram,    // end at once
};

class ErrorTrap {
 public:
  // Runs instead of the report for the special number. Returns true to carry
  // on as after Yes, false to leave the handler.
  using SpecialAction = std::function<bool()>;

  ErrorTrap(UserInterface& ui, std::string location, QuitAction quit)
      : ui_(ui), location_(std::move(location)), quit_(quit) {}
  ErrorTrap(UserInterface& ui, std::string location, QuitAction quit, std::int32_t special_number,
            SpecialAction special_action)
      : ui_(ui),
        location_(std::move(location)),
        quit_(quit),
        special_number_(special_number),
        special_action_(std::move(special_action)) {}

  bool Run(const std::function<void()>& statement);
  bool Condition(const std::function<bool()>& test);
  // Runs a statement whose errors pass silently (the ignoring state).
  static void IgnoreErrors(const std::function<void()>& statement);

 private:
  // After a failed statement: carries on (returns) or leaves (throws).
  void Handle(std::int32_t number, const std::string& description);

  UserInterface& ui_;
  std::string location_;
  QuitAction quit_;
  std::int32_t special_number_ = 0;
  SpecialAction special_action_;
};

}  // namespace dbrepair
