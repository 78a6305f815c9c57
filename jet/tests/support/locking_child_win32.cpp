#include "support/locking_child.h"

#include <windows.h>

#include "jet/base/wide_text.h"

namespace jet::testing {

struct LockingChild::Holder {
  HANDLE handle;
};

LockingChild::LockingChild(const std::string& path, std::int64_t start, std::int64_t length, bool) {
  HANDLE handle = ::CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  holder_ = std::make_unique<Holder>(Holder{handle});
  const auto count = static_cast<std::uint64_t>(length == 0 ? -1 - start : length);
  OVERLAPPED from{};
  from.Offset = static_cast<DWORD>(start);
  from.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(start) >> 32);
  locked_ = handle != INVALID_HANDLE_VALUE &&
            ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, static_cast<DWORD>(count),
                         static_cast<DWORD>(count >> 32), &from) != 0;
}

// Closing the handle releases its locks, as a program's end does.
LockingChild::~LockingChild() {
  if (holder_->handle != INVALID_HANDLE_VALUE) ::CloseHandle(holder_->handle);
}

}  // namespace jet::testing
