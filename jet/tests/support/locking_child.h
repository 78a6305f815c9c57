// Another holder of a byte-range lock on a file, the way a program holding a
// database open is, until it is destroyed. On a POSIX system it is a child
// process; on Windows, where a lock belongs to a handle and binds every other
// handle, a second handle in this process does as well.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace jet::testing {

class LockingChild {
 public:
  // length 0: to the largest possible offset. ofd: an open-file-description
  // lock instead of a classic POSIX one (Windows has one kind only).
  LockingChild(const std::string& path, std::int64_t start, std::int64_t length, bool ofd);
  ~LockingChild();
  LockingChild(const LockingChild&) = delete;
  LockingChild& operator=(const LockingChild&) = delete;

  // Whether the child got its lock.
  bool locked() const { return locked_; }

 private:
  struct Holder;
  std::unique_ptr<Holder> holder_;
  bool locked_ = true;
};

}  // namespace jet::testing
