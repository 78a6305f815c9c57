#include "operations/safety_backup.h"

#include "fileutil/parse_path.h"

namespace dbrepair {

std::string SafetyBackupName(const std::string& path, int n) {
  return ParsePath(path, "dir") + ParsePath(path, "NameOnly") + "." + std::to_string(n);
}

bool MakeNumberedBackup(const std::string& given_path, UserInterface& ui, FileSystem& files) {
  // Named after the data file as it is spelt on disk; FileExists finds a
  // candidate in any letter case, so no backup is ever written over.
  const std::string path = files.PathOnDisk(given_path);
  if (!files.FileExists(path)) return true;
  for (int n = 1; n <= kMaxSafetyBackups; ++n) {
    std::string candidate = SafetyBackupName(path, n);
    if (!files.FileExists(candidate)) {
      files.CopyFile(path, candidate);
      return true;
    }
  }
  ui.MsgBox("Error- 1000 backup files exit in the current directory.  Process aborted.",
                kButtonsOk, "Backup Error");
  return false;
}

}  // namespace dbrepair
