// The Database Repair Utility: its one window, with Form1's handlers behind
// the window's events. It takes no command-line arguments.
#include <QApplication>

#include "app/form1.h"
#include "app/window/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The window decides when the program ends: when it is unloaded, once the
  // running handler has returned, or at once when a handler ends it.
  QApplication::setQuitOnLastWindowClosed(false);

  dbrepair::MainWindow window;
  dbrepair::Form1 form(window, window.openDialog());
  using dbrepair::FormEvent;
  window.setHandler(FormEvent::Load, [&form] { form.Form_Load(); });
  window.setHandler(FormEvent::RepairClick, [&form] { form.Command1_Click(); });
  window.setHandler(FormEvent::RestoreNewClick, [&form] { form.cmdRestore_Click(); });
  window.setHandler(FormEvent::RestoreOldClick, [&form] { form.cmdRestoreOld_Click(); });
  window.setHandler(FormEvent::CreateBlankClick, [&form] { form.cmdDelete_Click(); });
  window.setHandler(FormEvent::BrowseClick, [&form] { form.CommandBrowse_Click(); });
  window.setHandler(FormEvent::CancelClick, [&form] { form.Command2_Click(); });
  window.setEscapedErrorReporter(
      [&form](const std::string& handler, std::exception_ptr error) { form.ReportEscapedError(handler, error); });

  if (!window.loadAndShow()) return 0;
  return app.exec();
}
