#include "app/browse.h"

#include "fileutil/parse_path.h"
#include "operations/error_trap.h"

namespace dbrepair {

namespace {

bool BlankOrEmpty(const std::string& text) {
  return text.find_first_not_of(' ') == std::string::npos;
}

}  // namespace

void BrowseForDatabase(UserInterface& ui, OpenDialog& dialog, FileSystem& files) {
  ErrorTrap trap(ui, " Location: CommandBrowse_Click", QuitAction::UnloadWindow);
  try {
    trap.Run([&] { dialog.SetCancelError(true); });   // 2
    trap.Run([&] { dialog.SetFlags(4); });            // 3: no read-only box
    trap.Run([&] { dialog.SetFilter(kBrowseFilter); });  // 4
    trap.Run([&] { dialog.SetFilterIndex(2); });      // 5: the databases
    // 6: the initial folder, from the current path read afresh each time.
    if (trap.Condition([&] { return BlankOrEmpty(CurrentPathOnDisk(ui, files)); })) {
      trap.Run([&] { dialog.SetInitDir(ui.ProgramFolder()); });
    } else if (trap.Condition([&] { return files.FolderExists(CurrentPathOnDisk(ui, files)); })) {
      trap.Run([&] { dialog.SetInitDir(CurrentPathOnDisk(ui, files)); });
    } else {
      trap.Run([&] { dialog.SetInitDir(ParsePath(CurrentPathOnDisk(ui, files), "dir")); });
    }
    trap.Run([&] { dialog.SetDialogTitle("Browse for Files"); });  // 7
    trap.Run([&] { ui.DoEvents(); });                              // 8
    trap.Run([&] { dialog.ShowOpen(); });                          // 9
    trap.Run([&] { ui.SetCurrentPath(dialog.FileName()); });       // 10
  } catch (const LeaveHandler&) {
  }
}

}  // namespace dbrepair
