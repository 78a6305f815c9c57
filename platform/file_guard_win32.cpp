// The Windows side of the write guard: Windows itself refuses to replace or
// delete a file that a program holds open or that is read-only, so the guard
// asks the same questions the system would, before anything changes:
// a sharing violation on the file or its lock file, byte-range locks on the
// lock file (or the database while a program commits), the read-only
// attribute, access denied, and a folder in which no file can be made.
#include <windows.h>

#include "jet/base/error.h"
#include "jet/base/file_lock.h"
#include "jet/base/wide_text.h"
#include "platform/case_insensitive_path.h"
#include "platform/file_guard.h"
#include "platform/file_operations.h"

namespace dbrepair {

namespace {

// What opening path with the given access, sharing with every other handle
// that may be there, reports: ERROR_SUCCESS when it opens.
DWORD OpenError(const std::wstring& path, DWORD access, DWORD flags = FILE_ATTRIBUTE_NORMAL,
                DWORD disposition = OPEN_EXISTING) {
  HANDLE handle = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ::GetLastError();
  ::CloseHandle(handle);
  return ERROR_SUCCESS;
}

// A file this process cannot even open to ask about its locks shows no lock;
// the operation itself then fails on it with its own error.
bool HasForeignLocks(const std::string& path) {
  try {
    return jet::has_foreign_locks(path);
  } catch (const jet::Error&) {
    return false;
  }
}

bool IsSharingError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// A program that has the database open shares it for reading and writing
// but not for deletion, which is what replacing it takes.
bool InUse(const std::string& path) {
  if (IsSharingError(OpenError(jet::widen(path), DELETE))) return true;
  if (HasForeignLocks(path)) return true;
  const std::string lock_file = jet::lock_file_path(path);
  return IsSharingError(OpenError(jet::widen(lock_file), DELETE)) || HasForeignLocks(lock_file);
}

bool ReadOnly(const std::wstring& path, DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_READONLY) != 0 || OpenError(path, GENERIC_WRITE) == ERROR_ACCESS_DENIED;
}

// Whether a new file can be made in folder: one is made and removed again
// as its handle closes.
bool FolderTakesNewFiles(const std::wstring& folder) {
  const std::wstring prefix = folder.ends_with(L'\\') ? folder : folder + L"\\";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring probe = prefix + L".dbrepair-probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                               std::to_wstring(::GetTickCount64() + attempt);
    const DWORD error = OpenError(probe, GENERIC_WRITE, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                  CREATE_NEW);
    if (error != ERROR_FILE_EXISTS) return error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT;
  }
  return true;
}

}  // namespace

FileBarrier BarrierToReplacing(const std::string& given) {
  const std::string path = ResolveWithoutCase(given);
  const std::wstring wide = jet::widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    if (InUse(path)) return FileBarrier::InUse;
    if (ReadOnly(wide, attributes)) return FileBarrier::ReadOnly;
  }
  // A folder that is missing, or no folder, is no barrier of this kind: the
  // operation fails on it as "path not found".
  const std::wstring folder = jet::widen(ParentFolder(path));
  const DWORD folder_attributes = ::GetFileAttributesW(folder.c_str());
  if (folder_attributes != INVALID_FILE_ATTRIBUTES && (folder_attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      !FolderTakesNewFiles(folder)) {
    return FileBarrier::FolderReadOnly;
  }
  return FileBarrier::None;
}

}  // namespace dbrepair
