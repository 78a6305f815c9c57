// What every Open dialog keeps between uses, as the dialog component does:
// the settings for the next ShowOpen() and the file chosen last; and the
// filter text "description|pattern|..." split into its pairs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/open_dialog.h"

namespace dbrepair {

class OpenDialogSettings : public OpenDialog {
 public:
  void SetCancelError(bool on) override { cancelError_ = on; }
  void SetFlags(int flags) override { flags_ = flags; }
  void SetFilter(const std::string& filter) override { filter_ = filter; }
  void SetFilterIndex(int index) override { filterIndex_ = index; }
  void SetInitDir(const std::string& folder) override { initDir_ = folder; }
  void SetDialogTitle(const std::string& title) override { title_ = title; }
  std::string FileName() const override { return fileName_; }

 protected:
  // Ends a ShowOpen(): the chosen file becomes FileName(); a cancel
  // (nullopt) leaves it and raises the cancel error where it is asked for.
  void Finish(const std::optional<std::string>& chosen);

  bool cancelError_ = false;
  int flags_ = 0;
  std::string filter_;
  int filterIndex_ = 1;
  std::string initDir_;
  std::string title_;
  std::string fileName_;
};

struct FileFilter {
  std::string description;  // shown to the user, e.g. "All Files (*.*)"
  std::string patterns;     // ";"-separated, e.g. "*.mdb;*.mde"
};

// Splits the filter text at "|" into description and pattern pairs, in order.
// Empty text gives no filters; a description without its pattern (an odd
// number of parts, or a trailing "|") gets the pattern "*.*".
std::vector<FileFilter> ParseFileFilter(const std::string& text);

}  // namespace dbrepair
