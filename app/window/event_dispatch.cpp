#include "app/window/event_dispatch.h"

#include "platform/user_interface.h"

namespace dbrepair {

HandlerOutcome RunEventHandler(const std::string& handlerName, const std::function<void()>& handler,
                               const EscapedErrorReporter& report) {
  std::exception_ptr escaped;
  try {
    handler();
    return HandlerOutcome::Finished;
  } catch (const EndProgram&) {
    return HandlerOutcome::EndedProgram;
  } catch (...) {
    escaped = std::current_exception();
  }
  try {
    if (report) report(handlerName, escaped);
  } catch (const EndProgram&) {
    return HandlerOutcome::EndedProgram;
  } catch (...) {
    // The report itself failed; there is nothing left to show it with.
  }
  return HandlerOutcome::Failed;
}

}  // namespace dbrepair
