#include "jet/base/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace jet {

namespace {

[[noreturn]] void throw_io(const std::string& what, const std::string& path, int err) {
  throw Error(ErrorCode::Io, what + " '" + path + "': " + std::strerror(err));
}

}  // namespace

std::unique_ptr<DiskFile> DiskFile::open(const std::string& path, Mode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::ReadOnly: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) {
    int err = errno;
    if (err == ENOENT) throw Error(ErrorCode::NotFound, "cannot open '" + path + "': no such file");
    if (err == EEXIST) throw Error(ErrorCode::AlreadyExists, "'" + path + "' already exists");
    throw_io("cannot open", path, err);
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw Error(ErrorCode::Io, "'" + path + "' is a folder, not a file");
  }
  return std::unique_ptr<DiskFile>(new DiskFile(fd, path));
}

DiskFile::~DiskFile() { ::close(native_); }

std::uint64_t DiskFile::size() const {
  struct stat st {};
  if (::fstat(native_, &st) != 0) throw_io("cannot stat", path_, errno);
  return static_cast<std::uint64_t>(st.st_size);
}

void DiskFile::read_at(std::uint64_t offset, MutableBytes out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(native_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_io("cannot read", path_, errno);
    }
    if (n == 0) {
      throw Error(ErrorCode::Io, "read of " + std::to_string(out.size()) + " bytes at " +
                                     std::to_string(offset) + " past the end of '" + path_ + "'");
    }
    done += static_cast<std::size_t>(n);
  }
}

void DiskFile::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  std::vector<iovec> pieces;
  pieces.reserve(parts.size());
  std::size_t total = 0;
  for (const MutableBytes& part : parts) {
    if (part.empty()) continue;
    pieces.push_back(iovec{part.data(), part.size()});
    total += part.size();
  }
  // A short read leaves the rest to read: skip what was filled and go on.
  std::size_t first = 0;
  std::size_t done = 0;
  while (done < total) {
    const int count = static_cast<int>(std::min<std::size_t>(pieces.size() - first, IOV_MAX));
    ssize_t n = ::preadv(native_, pieces.data() + first, count, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_io("cannot read", path_, errno);
    }
    if (n == 0) {
      throw Error(ErrorCode::Io, "read of " + std::to_string(total) + " bytes at " + std::to_string(offset) +
                                     " past the end of '" + path_ + "'");
    }
    done += static_cast<std::size_t>(n);
    for (auto left = static_cast<std::size_t>(n); left > 0;) {
      iovec& piece = pieces[first];
      const std::size_t taken = std::min(left, piece.iov_len);
      piece.iov_base = static_cast<std::uint8_t*>(piece.iov_base) + taken;
      piece.iov_len -= taken;
      left -= taken;
      if (piece.iov_len == 0) ++first;
    }
  }
}

void DiskFile::write_at(std::uint64_t offset, Bytes data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::pwrite(native_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_io("cannot write", path_, errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

void DiskFile::truncate(std::uint64_t size) {
  if (::ftruncate(native_, static_cast<off_t>(size)) != 0) throw_io("cannot truncate", path_, errno);
}

void DiskFile::sync() {
  if (::fsync(native_) != 0) throw_io("cannot sync", path_, errno);
}

void DiskFile::sync_alongside_writes() {
  // The data, not the times: the final sync() settles the rest.
  if (::fdatasync(native_) != 0) throw_io("cannot sync", path_, errno);
}

void DiskFile::start_writeback(std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__)
  // Failure changes nothing: the data still reaches the disk at the sync.
  (void)::sync_file_range(native_, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
#else
  (void)offset;
  (void)length;
#endif
}

}  // namespace jet
