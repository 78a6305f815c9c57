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

#include "platform/open_dialog_settings.h"

class QFileDialog;
class QWidget;

namespace dbrepair {

class QtOpenDialog : public OpenDialogSettings {
 public:
  // The settings of one showOpen() answered from the queue.
  struct Scripted {
    std::string filter;
    int filterIndex;
    std::string initDir;
    std::string title;
  };

  explicit QtOpenDialog(QWidget* parent = nullptr) : parent_(parent) {}

  void showOpen() override;

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
  QWidget* parent_;
};

}  // namespace dbrepair
