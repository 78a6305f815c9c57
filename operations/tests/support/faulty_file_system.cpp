#include "faulty_file_system.h"

namespace dbrepair::testing {

void FaultyFileSystem::Fail(FileOperation operation, const std::string& suffix, RuntimeError error,
                            int times) {
  faults_.push_back(Fault{operation, suffix, std::move(error), times});
}

void FaultyFileSystem::MaybeFail(FileOperation operation, const std::string& path) {
  for (Fault& fault : faults_) {
    bool matches = fault.operation == operation && fault.times > 0 &&
                   path.size() >= fault.suffix.size() &&
                   path.compare(path.size() - fault.suffix.size(), fault.suffix.size(), fault.suffix) == 0;
    if (matches) {
      --fault.times;
      throw fault.error;
    }
  }
}

bool FaultyFileSystem::FileExists(const std::string& path) {
  MaybeFail(FileOperation::FileExists, path);
  return local_.FileExists(path);
}

bool FaultyFileSystem::FolderExists(const std::string& path) {
  MaybeFail(FileOperation::FolderExists, path);
  return local_.FolderExists(path);
}

Date FaultyFileSystem::GetFileDate(const std::string& path) {
  MaybeFail(FileOperation::GetFileDate, path);
  return local_.GetFileDate(path);
}

void FaultyFileSystem::CopyFile(const std::string& source, const std::string& destination) {
  changes.push_back("copy " + source + " -> " + destination);
  MaybeFail(FileOperation::CopyFile, destination);
  local_.CopyFile(source, destination);
}

void FaultyFileSystem::DeleteFile(const std::string& path) {
  changes.push_back("delete " + path);
  MaybeFail(FileOperation::DeleteFile, path);
  local_.DeleteFile(path);
}

}  // namespace dbrepair::testing
