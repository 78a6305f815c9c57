#include "support/locking_child.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace jet::testing {

LockingChild::LockingChild(const std::string& path, off_t start, off_t length, bool ofd) {
  int ready[2], release[2];
  if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
  pid_ = ::fork();
  if (pid_ == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    int fd = ::open(path.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    char status = (fd >= 0 && ::fcntl(fd, ofd ? F_OFD_SETLK : F_SETLK, &lock) == 0) ? 'y' : 'n';
    (void)!::write(ready[1], &status, 1);
    char go;
    (void)!::read(release[0], &go, 1);  // returns when the parent closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  release_ = release[1];
  char status = 'n';
  if (::read(ready[0], &status, 1) != 1 || status != 'y') locked_ = false;
  ::close(ready[0]);
}

LockingChild::~LockingChild() {
  ::close(release_);
  int ignored;
  ::waitpid(pid_, &ignored, 0);
}

}  // namespace jet::testing
