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
  // The file chosen at each showOpen(), in order; nullopt cancels.
  std::deque<std::optional<std::string>> choices;

  bool cancel_error = false;
  int flags = -1;
  std::string filter;
  int filter_index = -1;
  std::optional<std::string> init_dir;
  std::string title;
  int shown = 0;

  void setCancelError(bool on) override { cancel_error = on; }
  void setFlags(int value) override { flags = value; }
  void setFilter(const std::string& value) override { filter = value; }
  void setFilterIndex(int index) override { filter_index = index; }
  void setInitDir(const std::string& folder) override { init_dir = folder; }
  void setDialogTitle(const std::string& value) override { title = value; }
  void showOpen() override;
  std::string fileName() const override { return file_name_; }

 private:
  std::string file_name_;
};

}  // namespace dbrepair::testing
