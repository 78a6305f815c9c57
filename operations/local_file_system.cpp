#include "operations/local_file_system.h"

#include "fileutil/file_queries.h"
#include "platform/case_insensitive_path.h"
#include "platform/file_operations.h"

namespace dbrepair {

bool LocalFileSystem::FileExists(const std::string& path) { return dbrepair::FileExists(path); }

bool LocalFileSystem::FolderExists(const std::string& path) {
  return dbrepair::FolderExists(path);
}

Date LocalFileSystem::GetFileDate(const std::string& path) { return dbrepair::GetFileDate(path); }

void LocalFileSystem::CopyFile(const std::string& source, const std::string& destination) {
  CopyFileReplacing(source, destination);
}

void LocalFileSystem::DeleteFile(const std::string& path) { dbrepair::DeleteFile(path); }

std::string LocalFileSystem::PathOnDisk(const std::string& path) {
  return ResolveWithoutCase(path);
}

}  // namespace dbrepair
