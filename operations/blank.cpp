#include "operations/blank.h"

#include "operations/safety_backup.h"

namespace dbrepair {

void CreateBlank(UserInterface& ui, FileSystem& files) {
  // The path box's text, read afresh at each use, as spelt on disk.
  auto data_file = [&] { return CurrentPathOnDisk(ui, files); };
  ui.setBusyPointer();
  if (!files.FileExists(data_file())) {
    ui.messageBox("Your data file has already been erased", kButtonsOk, "Warning");
  } else if (MakeNumberedBackup(data_file(), ui, files)) {
    int answer = ui.messageBox("Are you sure you want to erase all of your data?", kButtonsYesNo,
                               "Confirm Erase");
    if (answer == kAnswerYes) {
      files.DeleteFile(data_file());
      ui.messageBox("All data was erased.", kButtonsOk, "Complete");
    } else {
      ui.messageBox("Create Blank function aborted", kButtonsOk, "Warning");
    }
  }
  ui.setNormalPointer();
}

}  // namespace dbrepair
