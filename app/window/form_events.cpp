#include "app/window/form_events.h"

namespace dbrepair {

const char* HandlerName(FormEvent event) {
  switch (event) {
    case FormEvent::Load: return "Form_Load";
    case FormEvent::RepairClick: return "Command1_Click";
    case FormEvent::RestoreNewClick: return "cmdRestore_Click";
    case FormEvent::RestoreOldClick: return "cmdRestoreOld_Click";
    case FormEvent::CreateBlankClick: return "cmdDelete_Click";
    case FormEvent::BrowseClick: return "CommandBrowse_Click";
    case FormEvent::CancelClick: return "Command2_Click";
  }
  return "";
}

void FormEventHandlers::SetHandler(FormEvent event, std::function<void()> handler) {
  handlers_[event] = std::move(handler);
}

bool FormEventHandlers::RunHandler(FormEvent event) {
  const auto found = handlers_.find(event);
  if (found == handlers_.end() || !found->second) return false;
  // A copy: the handler may replace itself while it runs.
  const std::function<void()> handler = found->second;
  return RunEventHandler(HandlerName(event), handler, reportEscaped_) == HandlerOutcome::EndedProgram;
}

}  // namespace dbrepair
