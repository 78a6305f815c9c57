#include "app/window_win32/win32_open_dialog.h"

#include <commdlg.h>

#include <vector>

#include "jet/base/wide_text.h"

namespace dbrepair {

std::wstring WindowsFilter(const std::string& filter) {
  std::wstring list;
  for (const FileFilter& pair : ParseFileFilter(filter)) {
    list += jet::widen(pair.description) + L'\0' + jet::widen(pair.patterns) + L'\0';
  }
  return list + L'\0';
}

void Win32OpenDialog::ShowOpen() {
  const std::wstring filter = WindowsFilter(filter_);
  const std::wstring folder = jet::widen(initDir_);
  const std::wstring title = jet::widen(title_);
  // The name buffer starts with the file chosen last time, as the dialog
  // component keeps it; long enough for the longest path Windows takes.
  std::vector<wchar_t> name(32768, L'\0');
  const std::wstring previous = jet::widen(fileName_);
  if (previous.size() < name.size()) std::copy(previous.begin(), previous.end(), name.begin());

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
  dialog.nFilterIndex = static_cast<DWORD>(filterIndex_ > 0 ? filterIndex_ : 1);
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = static_cast<DWORD>(name.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  // The component's flags are the dialog's own; the Explorer look always.
  dialog.Flags = static_cast<DWORD>(flags_) | OFN_EXPLORER;
  // A cancel and a failure alike leave the file name as it was.
  if (!::GetOpenFileNameW(&dialog)) return Finish(std::nullopt);
  Finish(jet::narrow(name.data()));
}

}  // namespace dbrepair
