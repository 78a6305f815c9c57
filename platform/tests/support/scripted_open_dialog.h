// An Open dialog for the Browse tests: it records its settings and either
// "chooses" a scripted file or is cancelled.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "platform/open_dialog.h"

namespace dbrepair::testing {

class ScriptedOpenDialog : public OpenDialog {
 public:
  // The file chosen at each ShowOpen(), in order; nullopt cancels.
  std::deque<std::optional<std::string>> choices;

  bool cancel_error = false;
  int flags = -1;
  std::string filter;
  int filter_index = -1;
  std::optional<std::string> init_dir;
  std::string title;
  int shown = 0;

  void SetCancelError(bool on) override { cancel_error = on; }
  void SetFlags(int value) override { flags = value; }
  void SetFilter(const std::string& value) override { filter = value; }
  void SetFilterIndex(int index) override { filter_index = index; }
  void SetInitDir(const std::string& folder) override { init_dir = folder; }
  void SetDialogTitle(const std::string& value) override { title = value; }
  void ShowOpen() override;
  std::string FileName() const override { return file_name_; }

 private:
  std::string file_name_;
};

}  // namespace dbrepair::testing
