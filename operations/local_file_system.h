// The file-system seam over the local disk, for the program and the tests
// that run against real files.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace dbrepair {

// The local file system.
class LocalFileSystem : public FileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  Date GetFileDate(const std::string& path) override;
  void CopyFile(const std::string& source, const std::string& destination) override;
  void DeleteFile(const std::string& path) override;
  std::string PathOnDisk(const std::string& path) override;
};

}  // namespace dbrepair
