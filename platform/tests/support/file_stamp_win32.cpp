#include <windows.h>

#include <gtest/gtest.h>

#include "file_stamp.h"
#include "jet/base/wide_text.h"

namespace dbrepair::testing {

FileStamp StampOf(const std::string& path) {
  FileStamp stamp;
  HANDLE file = ::CreateFileW(jet::widen(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  if (file == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(file, &info)) {
    ADD_FAILURE() << "cannot ask " << path << " (error " << ::GetLastError() << ")";
  } else {
    stamp.identity = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0644;
  }
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  return stamp;
}

void SetMode(const std::string& path, unsigned mode) {
  const std::wstring name = jet::widen(path);
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  const DWORD read_only = (mode & 0200) == 0 ? FILE_ATTRIBUTE_READONLY : 0;
  ::SetFileAttributesW(name.c_str(), (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) | read_only);
}

bool LinkElsewhere(const std::string& path, const std::string& second_name) {
  return ::CreateHardLinkW(jet::widen(second_name).c_str(), jet::widen(path).c_str(), nullptr) != 0;
}

}  // namespace dbrepair::testing
