// The Open dialog through the system's own GetOpenFileNameW.
#pragma once

#include <windows.h>

#include <string>

#include "platform/open_dialog_settings.h"

namespace dbrepair {

class Win32OpenDialog : public OpenDialogSettings {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }
  void ShowOpen() override;

 private:
  HWND owner_ = nullptr;
};

// The filter text "description|pattern|..." as GetOpenFileNameW takes it:
// each part ended by a NUL, the list by a second one. A description without
// its pattern gets "*.*".
std::wstring WindowsFilter(const std::string& filter);

}  // namespace dbrepair
