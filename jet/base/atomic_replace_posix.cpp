#include "jet/base/atomic_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "jet/base/error.h"
#include "jet/base/temporary_file.h"

namespace jet {

namespace {

[[noreturn]] void throw_io(const std::string& what, const std::string& path, int err) {
  throw Error(ErrorCode::Io, what + " '" + path + "': " + std::strerror(err));
}

std::string folder_of(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file that a path finally names, so that replacing a symbolic link
// replaces the database it points to rather than the link.
std::string resolve(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) {
    if (errno == ENOENT) throw Error(ErrorCode::NotFound, "'" + path + "' does not exist");
    throw_io("cannot resolve", path, errno);
  }
  return buffer;
}

void sync_folder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw_io("cannot open folder", folder, errno);
  int result = ::fsync(fd);
  int err = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; the rename has still happened.
  if (result != 0 && err != EINVAL && err != EROFS) throw_io("cannot sync folder", folder, err);
}

void write_and_sync(const std::string& path, const FileWriter& write, const struct stat* like) {
  auto out = DiskFile::open(path, DiskFile::Mode::ReadWrite);
  write(*out);
  if (like != nullptr) {
    if (::fchmod(out->native(), like->st_mode & 07777) != 0) throw_io("cannot set the permissions of", path, errno);
    // Only the superuser may give a file away; anyone else keeps their own.
    if (::fchown(out->native(), like->st_uid, like->st_gid) != 0 && errno != EPERM) {
      throw_io("cannot set the owner of", path, errno);
    }
  } else {
    // mkstemp creates 0600; a new database gets what the user's umask allows.
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(out->native(), 0666 & ~mask) != 0) throw_io("cannot set the permissions of", path, errno);
  }
  out->sync();
}

}  // namespace

std::string create_temporary_beside(const std::string& target) {
  std::string pattern = target + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) throw_io("cannot create a temporary file beside", target, errno);
  ::close(fd);
  return name.data();
}

void discard_file(const std::string& path) noexcept { ::unlink(path.c_str()); }

void replace_atomically(const std::string& path, const FileWriter& write) {
  std::string target = resolve(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) throw_io("cannot stat", target, errno);
  if (!S_ISREG(st.st_mode)) throw Error(ErrorCode::Io, "'" + path + "' is not a regular file");

  TemporaryFile temporary(target);
  write_and_sync(temporary.path(), write, &st);
  if (::rename(temporary.path().c_str(), target.c_str()) != 0) throw_io("cannot replace", target, errno);
  temporary.committed();
  sync_folder(folder_of(target));
}

void create_atomically(const std::string& path, const FileWriter& write) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) throw Error(ErrorCode::AlreadyExists, "'" + path + "' already exists");

  TemporaryFile temporary(path);
  write_and_sync(temporary.path(), write, nullptr);
  // link() fails when the destination appeared meanwhile, where rename()
  // would silently replace it.
  if (::link(temporary.path().c_str(), path.c_str()) != 0) {
    if (errno == EEXIST) throw Error(ErrorCode::AlreadyExists, "'" + path + "' already exists");
    throw_io("cannot create", path, errno);
  }
  sync_folder(folder_of(path));
}

}  // namespace jet
