// What a test compares of a file beyond its bytes: which file it is on the
// disk, and what its permissions allow.
#pragma once

#include <cstdint>
#include <string>

namespace dbrepair::testing {

struct FileStamp {
  std::uint64_t identity = 0;  // the inode; on Windows the file index
  unsigned mode = 0;           // the permission bits; on Windows 0444 when read-only, else 0644
};

// Fails the test when path cannot be asked.
FileStamp StampOf(const std::string& path);
// Sets the permission bits; Windows keeps only whether the owner may write.
void SetMode(const std::string& path, unsigned mode);
// A second name for the file at path, so that its identity stays in use.
bool LinkElsewhere(const std::string& path, const std::string& second_name);

}  // namespace dbrepair::testing
