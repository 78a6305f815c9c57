#include "platform/file_guard.h"

#include "platform/file_operations.h"
#include "platform/runtime_error.h"

namespace dbrepair {

void RefuseUnreplaceable(const std::string& path, std::int32_t in_use, std::int32_t read_only) {
  const std::string subject = "Could not use '" + path + "'; ";
  switch (BarrierToReplacing(path)) {
    case FileBarrier::None:
      return;
    case FileBarrier::InUse:
      throw RuntimeError(in_use, subject + "file already in use.");
    case FileBarrier::ReadOnly:
      throw RuntimeError(read_only, subject + "file is read-only.");
    case FileBarrier::FolderReadOnly:
      throw RuntimeError(read_only, subject + "its folder is read-only.");
  }
}

void EnsureReplaceable(const std::string& path) {
  switch (BarrierToReplacing(path)) {
    case FileBarrier::None:
      return;
    case FileBarrier::InUse:
      throw RuntimeError(kErrPermissionDenied, "Permission denied");
    case FileBarrier::ReadOnly:
    case FileBarrier::FolderReadOnly:
      throw RuntimeError(kErrPathFileAccess, "Path/File access error");
  }
}

}  // namespace dbrepair
