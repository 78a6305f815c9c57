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
    trap.run([&] { dialog.setCancelError(true); });   // 2
    trap.run([&] { dialog.setFlags(4); });            // 3: no read-only box
    trap.run([&] { dialog.setFilter(kBrowseFilter); });  // 4
    trap.run([&] { dialog.setFilterIndex(2); });      // 5: the databases
    // 6: the initial folder, from the current path read afresh each time.
    if (trap.condition([&] { return BlankOrEmpty(CurrentPathOnDisk(ui, files)); })) {
      trap.run([&] { dialog.setInitDir(ui.programFolder()); });
    } else if (trap.condition([&] { return files.FolderExists(CurrentPathOnDisk(ui, files)); })) {
      trap.run([&] { dialog.setInitDir(CurrentPathOnDisk(ui, files)); });
    } else {
      trap.run([&] { dialog.setInitDir(ParsePath(CurrentPathOnDisk(ui, files), "dir")); });
    }
    trap.run([&] { dialog.setDialogTitle("Browse for Files"); });  // 7
    trap.run([&] { ui.doEvents(); });                              // 8
    trap.run([&] { dialog.showOpen(); });                          // 9
    trap.run([&] { ui.setCurrentPath(dialog.fileName()); });       // 10
  } catch (const LeaveHandler&) {
  }
}

}  // namespace dbrepair
