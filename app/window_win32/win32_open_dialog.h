// The Open dialog through the system's own GetOpenFileNameW.
#pragma once

#include <windows.h>

#include <string>

#include "platform/open_dialog.h"

namespace dbrepair {

class Win32OpenDialog : public OpenDialog {
 public:
  void setOwner(HWND owner) { owner_ = owner; }

  void setCancelError(bool on) override { cancelError_ = on; }
  void setFlags(int flags) override { flags_ = flags; }
  void setFilter(const std::string& filter) override { filter_ = filter; }
  void setFilterIndex(int index) override { filterIndex_ = index; }
  void setInitDir(const std::string& folder) override { initDir_ = folder; }
  void setDialogTitle(const std::string& title) override { title_ = title; }

  void showOpen() override;
  std::string fileName() const override { return fileName_; }

 private:
  HWND owner_ = nullptr;
  bool cancelError_ = false;
  int flags_ = 0;
  std::string filter_;
  int filterIndex_ = 1;
  std::string initDir_;
  std::string title_;
  std::string fileName_;
};

// The filter text "description|pattern|..." as GetOpenFileNameW takes it:
// each part ended by a NUL, the list by a second one. A description without
// its pattern gets "*.*".
std::wstring windowsFilter(const std::string& filter);

}  // namespace dbrepair
