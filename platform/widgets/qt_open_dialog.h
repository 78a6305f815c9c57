// The Open dialog of the main window: Qt's own QFileDialog (never the
// desktop's native one) behind the OpenDialog seam.
//
// Tests and scripted runs queue outcomes with SetNextFileName() and
// SetNextCancel(): while outcomes are queued, ShowOpen() records the
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
  // The settings of one ShowOpen() answered from the queue.
  struct Scripted {
    std::string filter;
    int filterIndex;
    std::string initDir;
    std::string title;
  };

  explicit QtOpenDialog(QWidget* parent = nullptr) : parent_(parent) {}

  void ShowOpen() override;

  // The dialog as ShowOpen() shows it, with the current settings.
  std::unique_ptr<QFileDialog> Build() const;

  // Queues a completed dialog that returns this path.
  static void SetNextFileName(const std::string& path);
  // Queues a cancelled dialog.
  static void SetNextCancel();
  // Forgets queued outcomes and the record of scripted dialogs.
  static void ResetScript();
  // The dialogs answered from the queue since the last ResetScript().
  static const std::vector<Scripted>& ScriptedDialogs();

  // The flag that demands an existing file; every other flag (4 hides a
  // read-only box that this dialog does not have) changes nothing here.
  static constexpr int kFileMustExist = 0x1000;

 private:
  QWidget* parent_;
};

}  // namespace dbrepair
