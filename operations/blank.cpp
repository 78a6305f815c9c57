#include "operations/blank.h"

#include "operations/safety_backup.h"

namespace dbrepair {

void CreateBlank(UserInterface& ui, FileSystem& files) {
  ui.setBusyPointer();
  if (!files.FileExists(CurrentPathOnDisk(ui, files))) {
    ui.messageBox("Your data file has already been erased", kButtonsOk, "Warning");
  } else if (MakeNumberedBackup(CurrentPathOnDisk(ui, files), ui, files)) {
    int answer = ui.messageBox("Are you sure you want to erase all of your data?", kButtonsYesNo,
                               "Confirm Erase");
    if (answer == kAnswerYes) {
      files.DeleteFile(CurrentPathOnDisk(ui, files));
      ui.messageBox("All data was erased.", kButtonsOk, "Complete");
    } else {
      ui.messageBox("Create Blank function aborted", kButtonsOk, "Warning");
    }
  }
  ui.setNormalPointer();
}

}  // namespace dbrepair
