#include "jet/base/file_lock.h"

#include <windows.h>

#include "jet/base/error.h"
#include "jet/base/wide_text.h"

namespace jet {

namespace {

// Windows' byte-range locks belong to a handle and are binding: a lock that
// another handle, in this process or another, holds anywhere in the file
// makes an exclusive lock over the whole file fail at once. The probe holds
// that lock only as long as the call takes.
bool lock_whole(HANDLE handle, OVERLAPPED& from_start) {
  return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                      &from_start) != 0;
}

void unlock_whole(HANDLE handle, OVERLAPPED& from_start) {
  ::UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &from_start);
}

}  // namespace

bool has_foreign_locks(const std::string& path) {
  HANDLE handle = ::CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    // A program that opened the file sharing it with nobody has it in use.
    if (error == ERROR_SHARING_VIOLATION) return true;
    throw Error(ErrorCode::Io, "cannot open '" + path + "' to check its locks: " + windows_error_text(error));
  }
  OVERLAPPED from_start{};
  bool locked = false;
  if (lock_whole(handle, from_start)) {
    unlock_whole(handle, from_start);
  } else {
    const DWORD error = ::GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      ::CloseHandle(handle);
      throw Error(ErrorCode::Io, "cannot query the locks of '" + path + "': " + windows_error_text(error));
    }
    locked = true;
  }
  ::CloseHandle(handle);
  return locked;
}

bool remove_stale_lock_file(const std::string& database_path) {
  const std::string path = lock_file_path(database_path);
  // A link is not followed, as on a POSIX system: only the lock file itself
  // is removed.
  HANDLE handle = ::CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED from_start{};
  bool removed = false;
  if (lock_whole(handle, from_start)) {
    // Marked for deletion while locked, gone when the handle closes: no
    // program can take a lock in between.
    FILE_DISPOSITION_INFO dispose{};
    dispose.DeleteFile = TRUE;
    removed = ::SetFileInformationByHandle(handle, FileDispositionInfo, &dispose, sizeof dispose) != 0;
    unlock_whole(handle, from_start);
  }
  ::CloseHandle(handle);
  return removed;
}

}  // namespace jet
