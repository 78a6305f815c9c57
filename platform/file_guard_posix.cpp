// The Linux side of the write guard: locks as fcntl byte-range locks (which
// is also how Wine shows the locks a Windows program holds), read-only as the
// mode's write bits.
#include <sys/stat.h>
#include <unistd.h>


#include "jet/base/error.h"
#include "jet/base/file_lock.h"
#include "platform/case_insensitive_path.h"
#include "platform/file_guard.h"
#include "platform/file_operations.h"

namespace dbrepair {

namespace {

// A file this process cannot even open to ask about its locks shows no lock;
// the operation itself then fails on it with its own error.
bool HasForeignLocks(const std::string& path) {
  try {
    return jet::has_foreign_locks(path);
  } catch (const jet::Error&) {
    return false;
  }
}

bool InUse(const std::string& path) {
  if (HasForeignLocks(path)) return true;
  // A product under Wine names its lock file after the path it was given,
  // in whatever letter case that was.
  for (const std::string& lock_file : AllSpellingsWithoutCase(jet::lock_file_path(path))) {
    if (HasForeignLocks(lock_file)) return true;
  }
  return false;
}

}  // namespace

FileBarrier BarrierToReplacing(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    if (InUse(path)) return FileBarrier::InUse;
    // The mode bits bind root as well, as the read-only attribute binds an
    // administrator; access() covers a user who may not write the file.
    if ((info.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) {
      return FileBarrier::ReadOnly;
    }
  }
  // A folder that is missing, or no folder, is no barrier of this kind: the
  // operation fails on it as "path not found".
  const std::string folder = ParentFolder(path);
  struct stat folder_info {};
  if (::stat(folder.c_str(), &folder_info) == 0 && S_ISDIR(folder_info.st_mode) &&
      ::access(folder.c_str(), W_OK | X_OK) != 0) {
    return FileBarrier::FolderReadOnly;
  }
  return FileBarrier::None;
}

}  // namespace dbrepair
