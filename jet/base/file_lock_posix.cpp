#include "jet/base/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/base/error.h"

namespace jet {

namespace {

// Asks the kernel whether a write lock over the whole file (and beyond its
// end, where Jet places its commit locks) would conflict with a lock someone
// else holds. Open-file-description locks are used for the question because
// they conflict with classic POSIX locks of every other process and with the
// OFD locks of every other descriptor, while a classic F_GETLK ignores
// conflicts inside this process.
bool query_conflict(int fd, const std::string& path) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = 0;
  probe.l_len = 0;  // to the largest possible offset
  if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) {
    throw Error(ErrorCode::Io, "cannot query the locks of '" + path + "': " + std::strerror(errno));
  }
  return probe.l_type != F_UNLCK;
}

}  // namespace

bool has_foreign_locks(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    throw Error(ErrorCode::Io, "cannot open '" + path + "' to check its locks: " + std::strerror(errno));
  }
  try {
    bool locked = query_conflict(fd, path);
    ::close(fd);
    return locked;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

bool remove_stale_lock_file(const std::string& database_path) {
  const std::string path = lock_file_path(database_path);
  // A write lock needs a descriptor open for writing.
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  whole.l_start = 0;
  whole.l_len = 0;  // to the largest possible offset
  // Refused at once when anyone else holds a lock anywhere in the file.
  const bool removed = ::fcntl(fd, F_OFD_SETLK, &whole) == 0 && ::unlink(path.c_str()) == 0;
  ::close(fd);  // releases the lock
  return removed;
}

}  // namespace jet
