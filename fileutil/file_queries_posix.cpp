#include "fileutil/file_queries.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/case_insensitive_path.h"

namespace dbrepair {

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(ResolveWithoutCase(path).c_str(), &info) == 0 &&
         !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(ResolveWithoutCase(path).c_str(), &info) == 0 &&
         S_ISDIR(info.st_mode);
}

Date GetFileDate(const std::string& path) {
  // Opened for reading, as the date must be of a file this program may read.
  int fd = ::open(ResolveWithoutCase(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Date();
  struct stat info {};
  Date date;
  if (::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) {
    date = Date::FromUnixSeconds(info.st_mtim.tv_sec);
  }
  ::close(fd);
  return date;
}

}  // namespace dbrepair
