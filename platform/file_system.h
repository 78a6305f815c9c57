// The file operations the commands use, behind one seam so that tests can
// make a chosen operation fail at a chosen moment.
#pragma once

#include <string>

#include "platform/date.h"
#include "platform/user_interface.h"

namespace dbrepair {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  virtual Date GetFileDate(const std::string& path) = 0;
  // Whole-file copy replacing the destination; raises RuntimeError.
  virtual void CopyFile(const std::string& source, const std::string& destination) = 0;
  // Removes the one named file; raises RuntimeError.
  virtual void DeleteFile(const std::string& path) = 0;
  // The path with every part that exists spelt as it is on disk: the
  // operations above find files without regard to letter case, as Windows
  // does, and what the user is shown names the file that was found.
  virtual std::string PathOnDisk(const std::string& path) = 0;
};

// The path box's text as PathOnDisk spells it, read afresh at each call.
inline std::string CurrentPathOnDisk(UserInterface& ui, FileSystem& files) {
  return files.PathOnDisk(ui.CurrentPath());
}

}  // namespace dbrepair
