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
std::deque<std::optional<std::string>>& queuedOutcomes() {
  static std::deque<std::optional<std::string>> outcomes;
  return outcomes;
}

std::vector<QtOpenDialog::Scripted>& scriptedRecord() {
  static std::vector<QtOpenDialog::Scripted> record;
  return record;
}

}  // namespace

std::unique_ptr<QFileDialog> QtOpenDialog::build() const {
  auto dialog = std::make_unique<QFileDialog>(parent_);
  dialog->setOption(QFileDialog::DontUseNativeDialog, true);
  dialog->setOption(QFileDialog::HideNameFilterDetails, true);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode((flags_ & kFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setWindowTitle(QString::fromStdString(title_));

  QStringList nameFilters;
  for (const FileFilter& filter : parseFileFilter(filter_)) nameFilters << qtNameFilter(filter);
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

void QtOpenDialog::showOpen() {
  if (!queuedOutcomes().empty()) {
    const std::optional<std::string> outcome = queuedOutcomes().front();
    queuedOutcomes().pop_front();
    scriptedRecord().push_back({filter_, filterIndex_, initDir_, title_});
    finish(outcome);
    return;
  }

  auto dialog = build();
  const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
  if (!accepted) return finish(std::nullopt);
  finish(QFile::encodeName(dialog->selectedFiles().first()).toStdString());
}

void QtOpenDialog::setNextFileName(const std::string& path) { queuedOutcomes().push_back(path); }

void QtOpenDialog::setNextCancel() { queuedOutcomes().push_back(std::nullopt); }

void QtOpenDialog::resetScript() {
  queuedOutcomes().clear();
  scriptedRecord().clear();
}

const std::vector<QtOpenDialog::Scripted>& QtOpenDialog::scriptedDialogs() { return scriptedRecord(); }

}  // namespace dbrepair
