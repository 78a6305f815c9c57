// The file-system questions asked of Windows itself.
#include <windows.h>

#include "fileutil/file_queries.h"
#include "jet/base/wide_text.h"

namespace dbrepair {

namespace {

// The attribute word, or INVALID_FILE_ATTRIBUTES (every bit set) when the
// path cannot be queried.
DWORD Attributes(const std::string& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(jet::widen(path).c_str());
}

}  // namespace

bool FileExists(const std::string& path) {
  // The failure value has the folder bit set too, so a missing path is no file.
  return (Attributes(path) & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Date GetFileDate(const std::string& path) {
  // Shared with nobody: a file another program holds open has no date here.
  HANDLE file = ::CreateFileW(jet::widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Date();
  FILETIME created{}, written{};
  SYSTEMTIME time{};
  Date date;
  // The time stays in UTC, to the second, as on every system.
  if (::GetFileTime(file, &created, nullptr, &written) && ::FileTimeToSystemTime(&written, &time)) {
    date = Date::FromParts(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
  }
  ::CloseHandle(file);
  return date;
}

}  // namespace dbrepair
