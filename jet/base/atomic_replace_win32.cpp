#include "jet/base/atomic_replace.h"

#include <windows.h>

#include <random>

#include "jet/base/error.h"
#include "jet/base/temporary_file.h"
#include "jet/base/wide_text.h"

namespace jet {

namespace {

// The file that a path finally names, so that replacing a symbolic link
// replaces the database it points to rather than the link.
std::string resolve(const std::string& path) {
  HANDLE handle = ::CreateFileW(widen(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw_windows_error("cannot open", path, ::GetLastError());
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = ::GetFileInformationByHandle(handle, &information) != 0;
  std::wstring final_path(MAX_PATH, L'\0');
  DWORD length = ::GetFinalPathNameByHandleW(handle, final_path.data(), static_cast<DWORD>(final_path.size()), 0);
  if (length >= final_path.size()) {
    final_path.resize(length);
    length = ::GetFinalPathNameByHandleW(handle, final_path.data(), static_cast<DWORD>(final_path.size()), 0);
  }
  const DWORD error = ::GetLastError();
  ::CloseHandle(handle);
  if (!known) throw_windows_error("cannot read the attributes of", path, error);
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw Error(ErrorCode::Io, "'" + path + "' is not a regular file");
  }
  // A system that cannot name the final file leaves the path as given.
  if (length == 0 || length >= final_path.size()) return path;
  final_path.resize(length);
  // "\\?\C:\..." names a file on a drive letter the way the user knows it
  // once its prefix is gone.
  if (final_path.starts_with(L"\\\\?\\") && final_path.size() > 6 && final_path[5] == L':') {
    final_path.erase(0, 4);
  }
  return narrow(final_path);
}

bool exists(const std::string& path) {
  return ::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void write_and_sync(const std::string& path, const FileWriter& write) {
  auto out = DiskFile::open(path, DiskFile::Mode::ReadWrite);
  write(*out);
  out->sync();
}

void move_into_place(const std::string& from, const std::string& to, DWORD flags) {
  if (!::MoveFileExW(widen(from).c_str(), widen(to).c_str(), flags | MOVEFILE_WRITE_THROUGH)) {
    throw_windows_error(flags & MOVEFILE_REPLACE_EXISTING ? "cannot replace" : "cannot create", to,
                        ::GetLastError());
  }
}

}  // namespace

std::string create_temporary_beside(const std::string& target) {
  std::random_device entropy;
  for (int attempt = 0;; ++attempt) {
    std::string path = target + ".tmp-" + std::to_string(entropy() % 1000000);
    try {
      DiskFile::open(path, DiskFile::Mode::CreateNew);
      return path;
    } catch (const Error& e) {
      if (e.code() != ErrorCode::AlreadyExists || attempt == 100) throw;
    }
  }
}

void discard_file(const std::string& path) noexcept {
  // A copy already given a read-only source's attributes goes too.
  const std::wstring name = widen(path);
  ::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(name.c_str());
}

void replace_atomically(const std::string& path, const FileWriter& write) {
  const std::string target = resolve(path);
  TemporaryFile temporary(target);
  write_and_sync(temporary.path(), write);
  move_into_place(temporary.path(), target, MOVEFILE_REPLACE_EXISTING);
  temporary.committed();
}

void create_atomically(const std::string& path, const FileWriter& write) {
  if (exists(path)) throw Error(ErrorCode::AlreadyExists, "'" + path + "' already exists");
  TemporaryFile temporary(path);
  write_and_sync(temporary.path(), write);
  // Without MOVEFILE_REPLACE_EXISTING the move fails when the destination
  // appeared meanwhile.
  move_into_place(temporary.path(), path, 0);
  temporary.committed();
}

}  // namespace jet
