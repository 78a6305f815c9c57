// The main window "Database Repair Utility" in the Win32 API: the label, the
// path box and the six buttons of the form's layout at the system's DPI,
// with tooltips and the form's tab order. Like the Qt window, it is the
// user interface of Form1's handlers and runs them when its buttons are
// clicked.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/window/form_window.h"
#include "app/window_win32/win32_open_dialog.h"

namespace dbrepair {

class Win32MainWindow : public FormWindow {
 public:
  explicit Win32MainWindow(HINSTANCE instance);
  ~Win32MainWindow() override;
  Win32MainWindow(const Win32MainWindow&) = delete;
  Win32MainWindow& operator=(const Win32MainWindow&) = delete;

  // Runs Form_Load, then shows the window centred with the focus on Repair
  // and runs the message loop until the window is unloaded or the program
  // ended. Returns the program's exit code.
  int Run();

  OpenDialog& CommonDialog1() { return openDialog_; }
  HWND hWnd() const { return window_; }

  // UserInterface
  void SetBusyPointer() override;
  void SetNormalPointer() override;
  std::string CurrentPath() override;
  void SetCurrentPath(const std::string& path) override;
  void AppendItem(const std::string& item) override;
  int ItemCount() override;
  void SelectItem(int index) override;
  int MsgBox(const std::string& text, int buttons, const std::string& title) override;
  void UnloadWindow() override;
  std::string ProgramFolder() override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void LayOut();
  void AddTooltip(HWND control, const char* text);
  // Handles one message; false when it was WM_QUIT.
  bool Pump(const MSG& message);
  void HideAndLeave() override;
  void HandlePendingEvents() override;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND combo_ = nullptr;
  HWND tooltips_ = nullptr;
  std::vector<HWND> buttons_;  // in form_layout::kButtons' order
  HFONT font_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  Win32OpenDialog openDialog_;

  bool busy_ = false;
};

}  // namespace dbrepair
