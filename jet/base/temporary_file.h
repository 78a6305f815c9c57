// The new file an atomic replacement (or a replacing copy) writes before it
// takes the old one's place: made beside the target under a name no other
// file has, and removed again unless committed. Making and removing it are the system's
// (atomic_replace_posix.cpp, atomic_replace_win32.cpp).
#pragma once

#include <string>
#include <utility>

namespace jet {

// Creates an empty file named after target in target's folder; returns its
// path. Raises Io when none can be made.
std::string create_temporary_beside(const std::string& target);
// Removes the file at path, quietly: what cannot be removed stays.
void discard_file(const std::string& path) noexcept;

class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : path_(create_temporary_beside(target)) {}
  // Takes charge of a file already made at path, under a name of the
  // caller's choosing.
  static TemporaryFile adopting(std::string path) { return TemporaryFile(Adopted{}, std::move(path)); }
  ~TemporaryFile() {
    if (!committed_) discard_file(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }
  void committed() { committed_ = true; }

 private:
  struct Adopted {};
  TemporaryFile(Adopted, std::string path) : path_(std::move(path)) {}

  std::string path_;
  bool committed_ = false;
};

}  // namespace jet
