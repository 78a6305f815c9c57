#include "jet/base/file.h"

#include <windows.h>

#include <algorithm>

#include "jet/base/wide_text.h"

namespace jet {

namespace {

// One ReadFile or WriteFile moves at most a DWORD's worth of bytes; a
// gigabyte at a time keeps well inside it.
constexpr std::size_t kLargestTransfer = std::size_t{1} << 30;

HANDLE handle_of(NativeFile native) { return static_cast<HANDLE>(native); }

// The position of a read or write, given with the call rather than through
// the handle's file pointer, so that threads sharing the handle do not move
// each other's position.
OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

[[noreturn]] void throw_past_end(std::size_t length, std::uint64_t offset, const std::string& path) {
  throw Error(ErrorCode::Io, "read of " + std::to_string(length) + " bytes at " + std::to_string(offset) +
                                 " past the end of '" + path + "'");
}

}  // namespace

std::unique_ptr<DiskFile> DiskFile::open(const std::string& path, Mode mode) {
  const std::wstring wide = widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (mode == Mode::CreateNew) throw Error(ErrorCode::AlreadyExists, "'" + path + "' already exists");
    throw Error(ErrorCode::Io, "'" + path + "' is a folder, not a file");
  }
  const DWORD access = mode == Mode::ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  const DWORD disposition = mode == Mode::CreateNew ? CREATE_NEW : OPEN_EXISTING;
  // Other programs may go on reading, writing and renaming, as they may on a
  // POSIX system: whether a database is in use is told by its locks.
  const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = ::CreateFileW(wide.c_str(), access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw_windows_error("cannot open", path, ::GetLastError());
  return std::unique_ptr<DiskFile>(new DiskFile(handle, path));
}

DiskFile::~DiskFile() { ::CloseHandle(handle_of(native_)); }

std::uint64_t DiskFile::size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle_of(native_), &size)) throw_windows_error("cannot get the size of", path_, ::GetLastError());
  return static_cast<std::uint64_t>(size.QuadPart);
}

void DiskFile::read_at(std::uint64_t offset, MutableBytes out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    OVERLAPPED position = at(offset + done);
    const auto wanted = static_cast<DWORD>(std::min(out.size() - done, kLargestTransfer));
    DWORD got = 0;
    if (!::ReadFile(handle_of(native_), out.data() + done, wanted, &got, &position)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_HANDLE_EOF) throw_past_end(out.size(), offset, path_);
      throw_windows_error("cannot read", path_, error);
    }
    if (got == 0) throw_past_end(out.size(), offset, path_);
    done += got;
  }
}

void DiskFile::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  // Windows reads scattered buffers only into whole, aligned pages of an
  // unbuffered handle: each part is read on its own.
  File::read_parts_at(offset, parts);
}

void DiskFile::write_at(std::uint64_t offset, Bytes data) {
  std::size_t done = 0;
  while (done < data.size()) {
    OVERLAPPED position = at(offset + done);
    const auto wanted = static_cast<DWORD>(std::min(data.size() - done, kLargestTransfer));
    DWORD put = 0;
    if (!::WriteFile(handle_of(native_), data.data() + done, wanted, &put, &position)) {
      throw_windows_error("cannot write", path_, ::GetLastError());
    }
    done += put;
  }
}

void DiskFile::truncate(std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!::SetFileInformationByHandle(handle_of(native_), FileEndOfFileInfo, &end, sizeof end)) {
    throw_windows_error("cannot truncate", path_, ::GetLastError());
  }
}

void DiskFile::sync() {
  if (!::FlushFileBuffers(handle_of(native_))) throw_windows_error("cannot sync", path_, ::GetLastError());
}

// Windows has no hint to start writing a range out, and I/O on one handle
// runs one call at a time, so a flush alongside the writes would only hold
// them up: the final sync() does it all.
void DiskFile::start_writeback(std::uint64_t, std::uint64_t) {}
void DiskFile::sync_alongside_writes() {}

}  // namespace jet
