#include "fileutil/file_queries.h"
#include "fileutil/parse_path.h"

namespace dbrepair {

std::string GetSpecialFolderPath(SpecialFolders& folders, int folder) {
  const std::string path = folders.FolderPath(folder);
  if (path.empty()) return "";
  return path + (kNativePathStyle == PathStyle::Windows ? "\\" : "/");
}

}  // namespace dbrepair
