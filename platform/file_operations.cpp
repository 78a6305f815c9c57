#include "platform/file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "jet/base/temporary_file.h"
#include "platform/case_insensitive_path.h"

namespace dbrepair {

std::string ParentFolder(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Closes a descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  // Closes now, reporting a failure (a delayed write error surfaces here).
  int Close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

void WriteAll(int fd, const char* data, size_t size, const std::string& path) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError(errno, path);
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
}

// The file a replacing copy writes: a symbolic link is followed, so that the
// file it names is replaced and the link stays.
std::string ReplacementTarget(const std::string& destination) {
  struct stat info {};
  if (::lstat(destination.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(destination.c_str(), resolved) != nullptr) return resolved;
  }
  return destination;
}

// Gives the new file the owner, group and permission bits of model, as far
// as this process may. Where the group cannot be given, the group's bits are
// dropped too, so that the file is never open to more people than model.
void GiveAccessOf(int fd, const struct stat& model, const std::string& path) {
  mode_t mode = model.st_mode & 07777;
  const bool owned_alike = ::fchown(fd, model.st_uid, model.st_gid) == 0 ||
                           ::fchown(fd, static_cast<uid_t>(-1), model.st_gid) == 0;
  if (!owned_alike) {
    struct stat own {};
    if (::fstat(fd, &own) != 0) throw FileError(errno, path);
    if (own.st_gid != model.st_gid) mode &= ~static_cast<mode_t>(070);
  }
  if (::fchmod(fd, mode) != 0) throw FileError(errno, path);
}

}  // namespace

RuntimeError FileError(int errno_value, const std::string& path) {
  switch (errno_value) {
    case ENOENT:
      if (!path.empty() && !IsFolder(ParentFolder(path))) {
        return RuntimeError(kErrPathNotFound, "Path not found");
      }
      return RuntimeError(kErrFileNotFound, "File not found");
    case ENOTDIR:
      return RuntimeError(kErrPathNotFound, "Path not found");
    case EACCES:
    case EPERM:
    case EROFS:
      return RuntimeError(kErrPermissionDenied, "Permission denied");
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return RuntimeError(kErrDiskFull, "Disk full");
    case EIO:
      return RuntimeError(kErrDeviceIo, "Device I/O error");
    default:
      return RuntimeError(kErrPathFileAccess, "Path/File access error");
  }
}

void CopyFileReplacing(const std::string& source_path, const std::string& destination) {
  const std::string source = ResolveWithoutCase(source_path);
  Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.Get() < 0) throw FileError(errno, source);
  struct stat source_info {};
  if (::fstat(in.Get(), &source_info) != 0) throw FileError(errno, source);
  if (!S_ISREG(source_info.st_mode)) throw FileError(EISDIR, source);

  const std::string target = ReplacementTarget(ResolveWithoutCase(destination));
  if (IsFolder(target)) throw FileError(EISDIR, target);
  EnsureReplaceable(target);
  // A replaced file keeps its own access; a new one takes the source's.
  struct stat target_info {};
  const bool replacing = ::stat(target.c_str(), &target_info) == 0;

  std::string pattern = ParentFolder(target) + "/.dbrepair-copy-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  Descriptor out(::mkostemp(name.data(), O_CLOEXEC));
  if (out.Get() < 0) throw FileError(errno, target);
  // Removed again unless it is renamed into place.
  jet::TemporaryFile temporary = jet::TemporaryFile::adopting(name.data());

  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t got = ::read(in.Get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError(errno, source);
    }
    if (got == 0) break;
    WriteAll(out.Get(), buffer.data(), static_cast<size_t>(got), target);
  }
  GiveAccessOf(out.Get(), replacing ? target_info : source_info, target);
  if (::fsync(out.Get()) != 0) throw FileError(errno, target);
  if (out.Close() != 0) throw FileError(errno, target);
  if (::rename(temporary.path().c_str(), target.c_str()) != 0) throw FileError(errno, target);
  temporary.committed();

  // Make the rename itself durable; a failure here loses nothing.
  Descriptor folder(::open(ParentFolder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) ::fsync(folder.Get());
}

void DeleteFile(const std::string& path) {
  const std::string on_disk = ResolveWithoutCase(path);
  EnsureReplaceable(on_disk);
  if (::unlink(on_disk.c_str()) != 0) throw FileError(errno, on_disk);
}

}  // namespace dbrepair
