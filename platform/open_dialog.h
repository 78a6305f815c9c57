// The Open dialog component of the main window, behind a seam so that the
// Browse handler runs against a scripted dialog in tests.
#pragma once

#include <string>

namespace dbrepair {

// Raised (as RuntimeError) by ShowOpen() when the user cancels and
// cancelError is set.
inline constexpr int kCancelErrorNumber = 32755;
inline constexpr const char* kCancelErrorText = "Cancel was selected.";

class OpenDialog {
 public:
  virtual ~OpenDialog() = default;

  // Settings, taking effect at the next ShowOpen().
  virtual void SetCancelError(bool on) = 0;
  virtual void SetFlags(int flags) = 0;
  // Pairs of description and pattern separated by "|".
  virtual void SetFilter(const std::string& filter) = 0;
  virtual void SetFilterIndex(int index) = 0;  // counted from 1
  virtual void SetInitDir(const std::string& folder) = 0;
  virtual void SetDialogTitle(const std::string& title) = 0;

  // Modal. Returns once a file is chosen; on cancel raises RuntimeError
  // kCancelErrorNumber when cancelError is set, else returns leaving
  // FileName() unchanged.
  virtual void ShowOpen() = 0;
  // The chosen file's full path; empty until a dialog completes, and kept
  // from one use to the next.
  virtual std::string FileName() const = 0;
};

}  // namespace dbrepair
