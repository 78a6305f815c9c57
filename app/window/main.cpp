// The Database Repair Utility: its one window, with Form1's handlers behind
// the window's events. It takes no command-line arguments.
#include <QApplication>

#include "app/form1.h"
#include "app/window/form_wiring.h"
#include "app/window/main_window.h"
#include "dbrepair_version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationVersion(DBREPAIR_VERSION);
  // The window decides when the program ends: when it is unloaded, once the
  // running handler has returned, or at once when a handler ends it.
  QApplication::setQuitOnLastWindowClosed(false);

  dbrepair::MainWindow window;
  dbrepair::Form1 form(window, window.CommonDialog1());
  dbrepair::ConnectForm(window, form);

  if (!window.LoadAndShow()) return 0;
  return app.exec();
}
