// The local file system with chosen operations made to fail, for the
// resume-after-error tests, and a log of the copies and deletes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "operations/local_file_system.h"
#include "platform/runtime_error.h"

namespace dbrepair::testing {

enum class FileOperation { FileExists, FolderExists, GetFileDate, CopyFile, DeleteFile };

class FaultyFileSystem : public FileSystem {
 public:
  // The next `times` calls of operation on a path ending in suffix (for a
  // copy: the destination) raise error.
  void Fail(FileOperation operation, const std::string& suffix, RuntimeError error, int times = 1);

  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  Date GetFileDate(const std::string& path) override;
  void CopyFile(const std::string& source, const std::string& destination) override;
  void DeleteFile(const std::string& path) override;
  std::string PathOnDisk(const std::string& path) override { return local_.PathOnDisk(path); }

  // "copy <source> -> <destination>" and "delete <path>", successful or not.
  std::vector<std::string> changes;

 private:
  struct Fault {
    FileOperation operation;
    std::string suffix;
    RuntimeError error;
    int times;
  };
  void MaybeFail(FileOperation operation, const std::string& path);

  LocalFileSystem local_;
  std::vector<Fault> faults_;
};

}  // namespace dbrepair::testing
