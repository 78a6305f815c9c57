#include "app/window_win32/win32_main_window.h"

#include <commctrl.h>

#include "app/window/form_layout.h"
#include "jet/base/wide_text.h"

namespace dbrepair {

namespace {

namespace layout = form_layout;

constexpr wchar_t kWindowClass[] = L"DatabaseRepairUtilityForm1";
constexpr int kFirstButtonId = 100;
constexpr int kComboId = 99;
// A caption must keep a few pixels of its button's frame free; the font is
// made smaller, a point at a time, until every caption does.
constexpr int kCaptionMargin = 6;
constexpr int kSmallestFontHeight = 8;

int Scaled(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), layout::kTwipsPerInch); }

void PlaceControl(HWND control, const layout::Place& at, UINT dpi) {
  ::MoveWindow(control, Scaled(at.left, dpi), Scaled(at.top, dpi), Scaled(at.width, dpi), Scaled(at.height, dpi),
               FALSE);
}

std::wstring WindowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Whether every control's caption fits it in font, margin pixels to spare.
bool CaptionsFit(HWND window, HFONT font, const std::vector<HWND>& controls, int margin) {
  HDC context = ::GetDC(window);
  HGDIOBJ previous = ::SelectObject(context, font);
  bool fit = true;
  for (HWND control : controls) {
    const std::wstring caption = WindowText(control);
    SIZE extent{};
    RECT frame{};
    ::GetTextExtentPoint32W(context, caption.c_str(), static_cast<int>(caption.size()), &extent);
    ::GetClientRect(control, &frame);
    if (extent.cx + margin > frame.right - frame.left) fit = false;
  }
  ::SelectObject(context, previous);
  ::ReleaseDC(window, context);
  return fit;
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance_;
  windowClass.hIcon = ::LoadIconW(instance_, L"APPICON");
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  ::RegisterClassExW(&windowClass);

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, jet::widen(layout::kTitle).c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance_, this);
  openDialog_.SetOwner(window_);
  CreateControls();
  LayOut();
}

Win32MainWindow::~Win32MainWindow() {
  if (::IsWindow(window_)) ::DestroyWindow(window_);
  if (font_ != nullptr) ::DeleteObject(font_);
}

void Win32MainWindow::CreateControls() {
  const DWORD child = WS_CHILD | WS_VISIBLE;
  label_ = ::CreateWindowExW(0, WC_STATICW, jet::widen(layout::kLabelCaption).c_str(), child | SS_LEFT, 0, 0, 0, 0,
                             window_, nullptr, instance_, nullptr);
  tooltips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
  // Created in tab order: the dialog navigation follows the order of the
  // children.
  for (std::size_t i = 0; i < layout::kButtons.size(); ++i) {
    if (static_cast<int>(i) == layout::kComboTabPosition) {
      combo_ = ::CreateWindowExW(0, WC_COMBOBOXW, nullptr, child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
                                 0, 0, 0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboId)),
                                 instance_, nullptr);
      ::SetWindowTextW(combo_, jet::widen(layout::kComboText).c_str());
      AddTooltip(combo_, layout::kComboTooltip);
      // The pointer rests over the box's edit field, a child of its own.
      if (HWND edit = ::FindWindowExW(combo_, nullptr, WC_EDITW, nullptr)) AddTooltip(edit, layout::kComboTooltip);
    }
    const layout::Button& button = layout::kButtons[i];
    // BS_PUSHBUTTON, never BS_DEFPUSHBUTTON: Enter presses no button.
    HWND handle = ::CreateWindowExW(0, WC_BUTTONW, jet::widen(button.caption).c_str(),
                                    child | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, window_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstButtonId + i)), instance_,
                                    nullptr);
    AddTooltip(handle, button.tooltip);
    buttons_.push_back(handle);
  }
}

void Win32MainWindow::AddTooltip(HWND control, const char* text) {
  std::wstring wide = jet::widen(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = wide.data();
  ::SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32MainWindow::LayOut() {
  dpi_ = ::GetDpiForWindow(window_);
  if (dpi_ == 0) dpi_ = USER_DEFAULT_SCREEN_DPI;

  // The client area in twips at this DPI, the frame around it as Windows
  // draws it there.
  RECT frame{0, 0, Scaled(layout::kClientWidth, dpi_), Scaled(layout::kClientHeight, dpi_)};
  ::AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(::GetWindowLongPtrW(window_, GWL_EXSTYLE)), dpi_);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

  PlaceControl(label_, layout::kLabel, dpi_);
  // A drop-down combo box's height includes its list when it drops.
  layout::Place comboWithList = layout::kCombo;
  comboWithList.height *= 8;
  PlaceControl(combo_, comboWithList, dpi_);
  for (std::size_t i = 0; i < buttons_.size(); ++i) PlaceControl(buttons_[i], layout::kButtons[i].place, dpi_);

  // The system's message font at this DPI, made smaller where a caption
  // would not fit its control.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_);
  LOGFONTW face = metrics.lfMessageFont;
  for (;;) {
    HFONT font = ::CreateFontIndirectW(&face);
    const bool fit = CaptionsFit(window_, font, buttons_, kCaptionMargin) &&
                     CaptionsFit(window_, font, {label_}, 0);
    const int height = face.lfHeight < 0 ? -face.lfHeight : face.lfHeight;
    if (fit || height <= kSmallestFontHeight) {
      if (font_ != nullptr) ::DeleteObject(font_);
      font_ = font;
      break;
    }
    ::DeleteObject(font);
    face.lfHeight += face.lfHeight < 0 ? 1 : -1;
  }
  std::vector<HWND> controls = buttons_;
  controls.insert(controls.end(), {label_, combo_, tooltips_});
  for (HWND control : controls) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  ::InvalidateRect(window_, nullptr, TRUE);
}

int Win32MainWindow::Run() {
  if (!Load()) return 0;
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::SetForegroundWindow(window_);
  ::SetFocus(buttons_.front());
  MSG message{};
  while (!Unloaded() && ::GetMessageW(&message, nullptr, 0, 0) > 0) Pump(message);
  return 0;
}

bool Win32MainWindow::Pump(const MSG& message) {
  if (message.message == WM_QUIT) return false;
  // Tab and the arrow keys move between the controls, as in a dialog.
  if (::IsWindow(window_) && ::IsDialogMessageW(window_, const_cast<MSG*>(&message))) return true;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
  return true;
}

void Win32MainWindow::HideAndLeave() {
  // The message loop ends on Unloaded().
  if (::IsWindow(window_)) ::ShowWindow(window_, SW_HIDE);
}

LRESULT CALLBACK Win32MainWindow::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Win32MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->HandleMessage(message, wparam, lparam) : ::DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Win32MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const auto index = static_cast<std::size_t>(id - kFirstButtonId);
      if (HIWORD(wparam) == BN_CLICKED && id >= kFirstButtonId && index < layout::kButtons.size()) {
        Dispatch(layout::kButtons[index].click);
      }
      // IDOK and IDCANCEL, which the dialog navigation sends for Enter and
      // Escape, press nothing: the window has no default or cancel button.
      return 0;
    }
    case WM_SETCURSOR:
      // Asked of the parent first for every control: the busy pointer
      // covers the window and all its controls.
      if (busy_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_DPICHANGED:
      LayOut();
      return 0;
    case WM_CLOSE:
      UnloadWindow();
      return 0;
    case WM_DESTROY:
      MarkUnloaded();
      return 0;
  }
  return ::DefWindowProcW(window_, message, wparam, lparam);
}

void Win32MainWindow::SetBusyPointer() {
  busy_ = true;
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

void Win32MainWindow::SetNormalPointer() {
  busy_ = false;
  POINT at{};
  ::GetCursorPos(&at);
  // Let the control under the pointer choose its own again (the path box
  // its I-beam).
  ::SetCursorPos(at.x, at.y);
}

std::string Win32MainWindow::CurrentPath() { return jet::narrow(WindowText(combo_)); }

void Win32MainWindow::SetCurrentPath(const std::string& path) {
  ::SetWindowTextW(combo_, jet::widen(path).c_str());
}

void Win32MainWindow::AppendItem(const std::string& item) {
  const std::wstring text = jet::widen(item);
  ::SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int Win32MainWindow::ItemCount() { return static_cast<int>(::SendMessageW(combo_, CB_GETCOUNT, 0, 0)); }

void Win32MainWindow::SelectItem(int index) {
  // Past the end of the list there is nothing to select.
  if (index >= ItemCount()) return;
  ::SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Win32MainWindow::MsgBox(const std::string& text, int buttons, const std::string& title) {
  // No icon; Yes is the default of Yes/No. Windows' answers are the
  // handlers' own numbers (IDOK 1, IDYES 6, IDNO 7).
  const UINT type = (buttons == kButtonsYesNo ? MB_YESNO | MB_DEFBUTTON1 : MB_OK) | MB_TASKMODAL;
  HWND owner = ::IsWindow(window_) && ::IsWindowVisible(window_) ? window_ : nullptr;
  const int answer = ::MessageBoxW(owner, jet::widen(text).c_str(), jet::widen(title).c_str(), type);
  return answer == 0 ? kAnswerOk : answer;
}

void Win32MainWindow::UnloadWindow() {
  MarkUnloaded();
  if (::IsWindow(window_)) ::DestroyWindow(window_);
}

void Win32MainWindow::HandlePendingEvents() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!Pump(message)) {
      // Left for the main loop, which ends on it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
  }
}

std::string Win32MainWindow::ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return jet::narrow(path.substr(0, path.find_last_of(L'\\') + 1));
}

}  // namespace dbrepair
