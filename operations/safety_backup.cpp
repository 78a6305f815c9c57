#include "operations/safety_backup.h"

#include "fileutil/parse_path.h"

namespace dbrepair {

std::string SafetyBackupName(const std::string& path, int n) {
  return ParsePath(path, "dir") + ParsePath(path, "NameOnly") + "." + std::to_string(n);
}

bool MakeNumberedBackup(const std::string& path, UserInterface& ui, FileSystem& files) {
  if (!files.FileExists(path)) return true;
  for (int n = 1; n <= kMaxSafetyBackups; ++n) {
    std::string candidate = SafetyBackupName(path, n);
    if (!files.FileExists(candidate)) {
      files.CopyFile(path, candidate);
      return true;
    }
  }
  ui.messageBox("Error- 1000 backup files exit in the current directory.  Process aborted.",
                kButtonsOk, "Backup Error");
  return false;
}

}  // namespace dbrepair
