#include "jet/base/file_lock.h"

#include "jet/base/error.h"
#include "jet/base/path_separators.h"

namespace jet {

std::string lock_file_path(const std::string& database_path) {
  std::size_t slash = database_path.find_last_of(kPathSeparators);
  std::size_t dot = database_path.find_last_of('.');
  bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (has_extension ? database_path.substr(0, dot) : database_path) + ".ldb";
}

void ensure_not_in_use(const std::string& database_path) {
  if (has_foreign_locks(lock_file_path(database_path)) || has_foreign_locks(database_path)) {
    throw Error(ErrorCode::FileInUse, "Could not use '" + database_path + "'; file already in use.");
  }
}

}  // namespace jet
