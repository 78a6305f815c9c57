// A fresh folder under the system's temporary folder, removed with all its
// content when the test ends, and the file handling the tests share.
#pragma once

#include <string>
#include <vector>

namespace dbrepair::testing {

class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + the system's separator + relative.
  std::string operator/(const std::string& relative) const;

 private:
  std::string path_;
};

// Writes content to path, creating its folders.
void WriteFile(const std::string& path, const std::string& content);
// The whole content of path; fails the test when it cannot be read.
std::string ReadFile(const std::string& path);
// Sets the last-write time, in seconds (and milliseconds) since 1970 UTC.
void SetModificationTime(const std::string& path, long long unix_seconds, int millis = 0);
void MakeFolder(const std::string& path);
// Makes a file read-only (mode 0444; on Windows the read-only attribute).
bool MakeReadOnly(const std::string& path);
bool PathExists(const std::string& path);
// The names in folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

}  // namespace dbrepair::testing
