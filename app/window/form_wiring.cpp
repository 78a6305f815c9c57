#include "app/window/form_wiring.h"

#include "app/form1.h"
#include "app/window/form_events.h"

namespace dbrepair {

void ConnectForm(FormEvents& window, Form1& form) {
  window.SetHandler(FormEvent::Load, [&form] { form.Form_Load(); });
  window.SetHandler(FormEvent::RepairClick, [&form] { form.Command1_Click(); });
  window.SetHandler(FormEvent::RestoreNewClick, [&form] { form.cmdRestore_Click(); });
  window.SetHandler(FormEvent::RestoreOldClick, [&form] { form.cmdRestoreOld_Click(); });
  window.SetHandler(FormEvent::CreateBlankClick, [&form] { form.cmdDelete_Click(); });
  window.SetHandler(FormEvent::BrowseClick, [&form] { form.CommandBrowse_Click(); });
  window.SetHandler(FormEvent::CancelClick, [&form] { form.Command2_Click(); });
  window.SetEscapedErrorReporter(
      [&form](const std::string& handler, std::exception_ptr error) { form.ReportEscapedError(handler, error); });
}

}  // namespace dbrepair
