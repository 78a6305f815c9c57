#include "app/window/form_wiring.h"

#include "app/form1.h"
#include "app/window/form_events.h"

namespace dbrepair {

void connectForm(FormEvents& window, Form1& form) {
  window.setHandler(FormEvent::Load, [&form] { form.Form_Load(); });
  window.setHandler(FormEvent::RepairClick, [&form] { form.Command1_Click(); });
  window.setHandler(FormEvent::RestoreNewClick, [&form] { form.cmdRestore_Click(); });
  window.setHandler(FormEvent::RestoreOldClick, [&form] { form.cmdRestoreOld_Click(); });
  window.setHandler(FormEvent::CreateBlankClick, [&form] { form.cmdDelete_Click(); });
  window.setHandler(FormEvent::BrowseClick, [&form] { form.CommandBrowse_Click(); });
  window.setHandler(FormEvent::CancelClick, [&form] { form.Command2_Click(); });
  window.setEscapedErrorReporter(
      [&form](const std::string& handler, std::exception_ptr error) { form.ReportEscapedError(handler, error); });
}

}  // namespace dbrepair
