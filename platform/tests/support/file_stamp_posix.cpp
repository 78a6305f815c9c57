#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_stamp.h"

namespace dbrepair::testing {

FileStamp StampOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return {static_cast<std::uint64_t>(info.st_ino), static_cast<unsigned>(info.st_mode & 07777)};
}

void SetMode(const std::string& path, unsigned mode) { ::chmod(path.c_str(), static_cast<mode_t>(mode)); }

bool LinkElsewhere(const std::string& path, const std::string& second_name) {
  return ::link(path.c_str(), second_name.c_str()) == 0;
}

}  // namespace dbrepair::testing
