// A child process that holds a byte-range lock on a file, the way a program
// holding a database open does, until it is destroyed.
#pragma once

#include <sys/types.h>

#include <string>

namespace jet::testing {

class LockingChild {
 public:
  // ofd: an open-file-description lock instead of a classic POSIX one.
  LockingChild(const std::string& path, off_t start, off_t length, bool ofd);
  ~LockingChild();
  LockingChild(const LockingChild&) = delete;
  LockingChild& operator=(const LockingChild&) = delete;

  // Whether the child got its lock.
  bool locked() const { return locked_; }

 private:
  pid_t pid_;
  int release_;
  bool locked_ = true;
};

}  // namespace jet::testing
