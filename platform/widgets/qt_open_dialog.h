// The Open dialog of the main window: Qt's own QFileDialog (never the
// desktop's native one) behind the OpenDialog seam.
//
// Tests and scripted runs queue outcomes with setNextFileName() and
// setNextCancel(): while outcomes are queued, showOpen() records the
// settings it would have shown and takes the next outcome without showing
// anything.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/open_dialog.h"

class QFileDialog;
class QWidget;

namespace dbrepair {

class QtOpenDialog : public OpenDialog {
 public:
  // The settings of one showOpen() answered from the queue.
  struct Scripted {
    std::string filter;
    int filterIndex;
    std::string initDir;
    std::string title;
  };

  explicit QtOpenDialog(QWidget* parent = nullptr) : parent_(parent) {}

  void setCancelError(bool on) override { cancelError_ = on; }
  void setFlags(int flags) override { flags_ = flags; }
  void setFilter(const std::string& filter) override { filter_ = filter; }
  void setFilterIndex(int index) override { filterIndex_ = index; }
  void setInitDir(const std::string& folder) override { initDir_ = folder; }
  void setDialogTitle(const std::string& title) override { title_ = title; }

  void showOpen() override;
  std::string fileName() const override { return fileName_; }

  // The dialog as showOpen() shows it, with the current settings.
  std::unique_ptr<QFileDialog> build() const;

  // Queues a completed dialog that returns this path.
  static void setNextFileName(const std::string& path);
  // Queues a cancelled dialog.
  static void setNextCancel();
  // Forgets queued outcomes and the record of scripted dialogs.
  static void resetScript();
  // The dialogs answered from the queue since the last resetScript().
  static const std::vector<Scripted>& scriptedDialogs();

  // The flag that demands an existing file; every other flag (4 hides a
  // read-only box that this dialog does not have) changes nothing here.
  static constexpr int kFileMustExist = 0x1000;

 private:
  void finish(bool accepted, const std::string& chosen);

  QWidget* parent_;
  bool cancelError_ = false;
  int flags_ = 0;
  std::string filter_;
  int filterIndex_ = 1;
  std::string initDir_;
  std::string title_;
  std::string fileName_;
};

}  // namespace dbrepair
