// Running one event handler of the main window: the single place that
// catches what escapes a handler, so that nothing escapes into Qt's event
// loop.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace dbrepair {

enum class HandlerOutcome {
  Finished,      // the handler returned
  Failed,        // an error escaped it and went to the reporter
  EndedProgram,  // it ended the program at once (EndProgram)
};

// Shows an error that escaped the named handler; the program goes on.
using EscapedErrorReporter = std::function<void(const std::string& handlerName, std::exception_ptr error)>;

// Runs handler. An EndProgram ends it with EndedProgram; any other exception
// goes to report (which must not let one escape either: what it throws is
// dropped, since nothing may unwind into the event loop).
HandlerOutcome RunEventHandler(const std::string& handlerName, const std::function<void()>& handler,
                               const EscapedErrorReporter& report);

}  // namespace dbrepair
