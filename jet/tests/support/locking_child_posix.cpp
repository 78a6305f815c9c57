#include "support/locking_child.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace jet::testing {

struct LockingChild::Holder {
  pid_t pid;
  int release;
};

LockingChild::LockingChild(const std::string& path, std::int64_t start, std::int64_t length, bool ofd) {
  int ready[2], release[2];
  if (::pipe(ready) != 0 || ::pipe(release) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(ready[0]);
    ::close(release[1]);
    int fd = ::open(path.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(start);
    lock.l_len = static_cast<off_t>(length);
    char status = (fd >= 0 && ::fcntl(fd, ofd ? F_OFD_SETLK : F_SETLK, &lock) == 0) ? 'y' : 'n';
    (void)!::write(ready[1], &status, 1);
    char go;
    (void)!::read(release[0], &go, 1);  // returns when the parent closes its end
    ::_exit(0);
  }
  ::close(ready[1]);
  ::close(release[0]);
  holder_ = std::make_unique<Holder>(Holder{pid, release[1]});
  char status = 'n';
  if (::read(ready[0], &status, 1) != 1 || status != 'y') locked_ = false;
  ::close(ready[0]);
}

LockingChild::~LockingChild() {
  ::close(holder_->release);
  int ignored;
  ::waitpid(holder_->pid, &ignored, 0);
}

}  // namespace jet::testing
