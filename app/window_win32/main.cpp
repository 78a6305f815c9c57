// The Database Repair Utility on Windows: its one window, with Form1's
// handlers behind the window's events. It takes no command-line arguments.
#include <windows.h>

#include "app/form1.h"
#include "app/window/form_wiring.h"
#include "app/window_win32/win32_main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  dbrepair::Win32MainWindow window(instance);
  dbrepair::Form1 form(window, window.CommonDialog1());
  dbrepair::ConnectForm(window, form);
  return window.Run();
}
