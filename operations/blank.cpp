#include "operations/blank.h"

#include "operations/safety_backup.h"

namespace dbrepair {

void CreateBlank(UserInterface& ui, FileSystem& files) {
  // The path box's text, read afresh at each use, as spelt on disk.
  auto data_file = [&] { return CurrentPathOnDisk(ui, files); };
  ui.SetBusyPointer();
  if (!files.FileExists(data_file())) {
    ui.MsgBox("Your data file has already been erased", kButtonsOk, "Warning");
  } else if (MakeNumberedBackup(data_file(), ui, files)) {
    int answer = ui.MsgBox("Are you sure you want to erase all of your data?", kButtonsYesNo,
                               "Confirm Erase");
    if (answer == kAnswerYes) {
      files.DeleteFile(data_file());
      ui.MsgBox("All data was erased.", kButtonsOk, "Complete");
    } else {
      ui.MsgBox("Create Blank function aborted", kButtonsOk, "Warning");
    }
  }
  ui.SetNormalPointer();
}

}  // namespace dbrepair
