#include "jet/file.h"

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

void File::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  for (const MutableBytes& part : parts) {
    read_at(offset, part);
    offset += part.size();
  }
}

void MemoryFile::read_at(std::uint64_t offset, MutableBytes out) const {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) {
    throw Error(ErrorCode::Io, "read of " + std::to_string(out.size()) + " bytes at " +
                                   std::to_string(offset) + " past the end of the file");
  }
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
}

void MemoryFile::write_at(std::uint64_t offset, Bytes data) {
  if (offset + data.size() > bytes_.size()) bytes_.resize(offset + data.size());
  std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void MemoryFile::truncate(std::uint64_t size) { bytes_.resize(size); }

void StoppableFile::read_at(std::uint64_t offset, MutableBytes out) const {
  if (stopped_.load(std::memory_order_relaxed)) throw ReadsStopped();
  inner_.read_at(offset, out);
}

void StoppableFile::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  if (stopped_.load(std::memory_order_relaxed)) throw ReadsStopped();
  inner_.read_parts_at(offset, parts);
}

void StoppableFile::write_at(std::uint64_t, Bytes) {
  throw Error(ErrorCode::InvalidArgument, "a stoppable view of a file is read-only");
}

void StoppableFile::truncate(std::uint64_t) {
  throw Error(ErrorCode::InvalidArgument, "a stoppable view of a file is read-only");
}

void FailAfterFile::spend() const {
  if (used_ >= budget_) {
    throw Error(ErrorCode::Io, "injected failure after " + std::to_string(budget_) + " operations");
  }
  ++used_;
}

void FailAfterFile::read_at(std::uint64_t offset, MutableBytes out) const {
  spend();
  inner_.read_at(offset, out);
}

void FailAfterFile::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
  spend();
  inner_.read_parts_at(offset, parts);
}

void FailAfterFile::write_at(std::uint64_t offset, Bytes data) {
  spend();
  inner_.write_at(offset, data);
}

void FailAfterFile::truncate(std::uint64_t size) {
  spend();
  inner_.truncate(size);
}

void FailAfterFile::sync() {
  spend();
  inner_.sync();
}

std::unique_ptr<PosixFile> PosixFile::open(const std::string& path, Mode mode) {
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
  return std::unique_ptr<PosixFile>(new PosixFile(fd, path));
}

PosixFile::~PosixFile() { ::close(fd_); }

std::uint64_t PosixFile::size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw_io("cannot stat", path_, errno);
  return static_cast<std::uint64_t>(st.st_size);
}

void PosixFile::read_at(std::uint64_t offset, MutableBytes out) const {
  std::size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
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

void PosixFile::read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const {
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
    ssize_t n = ::preadv(fd_, pieces.data() + first, count, static_cast<off_t>(offset + done));
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

void PosixFile::write_at(std::uint64_t offset, Bytes data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_io("cannot write", path_, errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

void PosixFile::truncate(std::uint64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw_io("cannot truncate", path_, errno);
}

void PosixFile::sync() {
  if (::fsync(fd_) != 0) throw_io("cannot sync", path_, errno);
}

void PosixFile::sync_alongside_writes() {
  // The data, not the times: the final sync() settles the rest.
  if (::fdatasync(fd_) != 0) throw_io("cannot sync", path_, errno);
}

void PosixFile::start_writeback(std::uint64_t offset, std::uint64_t length) {
#if defined(__linux__)
  // Failure changes nothing: the data still reaches the disk at the sync.
  (void)::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
#else
  (void)offset;
  (void)length;
#endif
}

std::vector<std::uint8_t> read_all(const File& file) {
  std::vector<std::uint8_t> bytes(file.size());
  file.read_at(0, bytes);
  return bytes;
}

}  // namespace jet
