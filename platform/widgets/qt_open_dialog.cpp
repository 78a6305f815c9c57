#include "platform/widgets/qt_open_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <deque>
#include <optional>

#include "platform/widgets/file_filter.h"

namespace dbrepair {
namespace {

// A queued outcome: a chosen path, or nothing for a cancel.
std::deque<std::optional<std::string>>& QueuedOutcomes() {
  static std::deque<std::optional<std::string>> outcomes;
  return outcomes;
}

std::vector<QtOpenDialog::Scripted>& ScriptedRecord() {
  static std::vector<QtOpenDialog::Scripted> record;
  return record;
}

}  // namespace

std::unique_ptr<QFileDialog> QtOpenDialog::Build() const {
  auto dialog = std::make_unique<QFileDialog>(parent_);
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setOption(QFileDialog::HideNameFilterDetails, true);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode((flags_ & kFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setWindowTitle(QString::fromStdString(title_));

  QStringList nameFilters;
  for (const FileFilter& filter : ParseFileFilter(filter_)) nameFilters << QtNameFilter(filter);
  if (!nameFilters.isEmpty()) {
    dialog->setNameFilters(nameFilters);
    // Counted from 1; an index outside the list selects the first entry.
    const int index = filterIndex_ >= 1 && filterIndex_ <= nameFilters.size() ? filterIndex_ - 1 : 0;
    dialog->selectNameFilter(nameFilters[index]);
  }
  // An empty initial folder leaves the choice to the dialog.
  if (!initDir_.empty()) dialog->setDirectory(QFile::decodeName(initDir_.c_str()));
  return dialog;
}

void QtOpenDialog::ShowOpen() {
  if (!QueuedOutcomes().empty()) {
    const std::optional<std::string> outcome = QueuedOutcomes().front();
    QueuedOutcomes().pop_front();
    ScriptedRecord().push_back({filter_, filterIndex_, initDir_, title_});
    Finish(outcome);
    return;
  }

  auto dialog = Build();
  const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
  if (!accepted) return Finish(std::nullopt);
  Finish(QFile::encodeName(dialog->selectedFiles().first()).toStdString());
}

void QtOpenDialog::SetNextFileName(const std::string& path) { QueuedOutcomes().push_back(path); }

void QtOpenDialog::SetNextCancel() { QueuedOutcomes().push_back(std::nullopt); }

void QtOpenDialog::ResetScript() {
  QueuedOutcomes().clear();
  ScriptedRecord().clear();
}

const std::vector<QtOpenDialog::Scripted>& QtOpenDialog::ScriptedDialogs() { return ScriptedRecord(); }

}  // namespace dbrepair
