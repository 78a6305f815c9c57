// Copy and delete through the Windows calls. FileError's number here is a
// Windows error code (GetLastError), not an errno value.
#include <windows.h>
#undef DeleteFile  // windows.h's name for DeleteFileW would rename ours

#include <random>
#include <vector>

#include "jet/base/temporary_file.h"
#include "jet/base/wide_text.h"
#include "platform/case_insensitive_path.h"
#include "platform/file_operations.h"

namespace dbrepair {

namespace {

// Closes a handle on every way out.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  // Closes now, reporting a failure.
  bool Close() {
    const bool closed = !Valid() || ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

std::wstring ParentFolder(const std::wstring& path) {
  const auto separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return L".";
  // "C:\x" keeps the root's separator: "C:" alone is the drive's current folder.
  if (separator == 0 || (separator == 2 && path[1] == L':')) return path.substr(0, separator + 1);
  return path.substr(0, separator);
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// An empty path names no file, as on every system (Windows itself calls it
// a path not found).
[[noreturn]] void ThrowLastError(const std::string& path) {
  throw FileError(path.empty() ? ERROR_FILE_NOT_FOUND : static_cast<int>(::GetLastError()), path);
}

// A folder where a file must be: Windows' copy refuses it as a file it
// cannot use.
[[noreturn]] void ThrowFolder() { throw RuntimeError(kErrPathFileAccess, "Path/File access error"); }

// A new file beside target, named so that it cannot take an existing name;
// INVALID_HANDLE_VALUE with the error left for GetLastError when none can be
// made.
HANDLE CreateTemporaryBeside(const std::wstring& target, std::wstring& name) {
  std::random_device entropy;
  for (int attempt = 0;; ++attempt) {
    name = ParentFolder(target) + L"\\.dbrepair-copy-" + std::to_wstring(entropy() % 100000000);
    HANDLE out = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS || attempt == 100) return out;
  }
}

}  // namespace

std::string ParentFolder(const std::string& path) { return jet::narrow(ParentFolder(jet::widen(path))); }

RuntimeError FileError(int code, const std::string&) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return RuntimeError(kErrFileNotFound, "File not found");
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return RuntimeError(kErrPathNotFound, "Path not found");
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return RuntimeError(kErrPermissionDenied, "Permission denied");
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      return RuntimeError(kErrDiskFull, "Disk full");
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return RuntimeError(kErrDeviceIo, "Device I/O error");
    default:
      return RuntimeError(kErrPathFileAccess, "Path/File access error");
  }
}

void CopyFileReplacing(const std::string& source_path, const std::string& destination_path) {
  const std::string source = ResolveWithoutCase(source_path);
  const std::string destination = ResolveWithoutCase(destination_path);
  const std::wstring from = jet::widen(source);
  const std::wstring to = jet::widen(destination);
  // Another program may have the source open for reading or writing, as a
  // copy on Windows allows.
  Handle in(::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.Valid()) {
    if (IsFolder(from)) ThrowFolder();
    ThrowLastError(source);
  }
  if (IsFolder(to)) ThrowFolder();
  // Raised with the numbers the commands expect, before anything is written.
  EnsureReplaceable(destination);
  // A new file is made read-only, hidden or a system file as the source is,
  // as Windows' own copy does; a replaced one keeps its own attributes.
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  DWORD attributes = ::GetFileAttributesW(to.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) attributes = ::GetFileAttributesW(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) attributes = 0;

  std::wstring name;
  Handle out(CreateTemporaryBeside(to, name));
  if (!out.Valid()) ThrowLastError(destination);
  // Removed again unless it is moved into place.
  jet::TemporaryFile temporary = jet::TemporaryFile::adopting(jet::narrow(name));

  std::vector<char> buffer(1 << 20);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) ThrowLastError(source);
    if (got == 0) break;
    for (DWORD done = 0; done < got;) {
      DWORD put = 0;
      if (!::WriteFile(out.Get(), buffer.data() + done, got - done, &put, nullptr)) ThrowLastError(destination);
      done += put;
    }
  }
  if (!::FlushFileBuffers(out.Get())) ThrowLastError(destination);
  if (!out.Close()) ThrowLastError(destination);
  if ((attributes & kept) != 0 && !::SetFileAttributesW(name.c_str(), attributes & kept)) ThrowLastError(destination);
  // The move is written through to the disk before it returns: at every
  // instant the destination is the old file or the whole copy.
  if (!::MoveFileExW(name.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ThrowLastError(destination);
  }
  temporary.committed();
}

void DeleteFile(const std::string& given) {
  const std::string path = ResolveWithoutCase(given);
  if (IsFolder(jet::widen(path))) ThrowFolder();
  EnsureReplaceable(path);
  if (!::DeleteFileW(jet::widen(path).c_str())) ThrowLastError(path);
}

}  // namespace dbrepair
