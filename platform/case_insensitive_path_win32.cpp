// Windows matches names without regard to case itself: a path stands as
// the user typed it, and the messages name it so.
#include <windows.h>

#include "jet/base/wide_text.h"
#include "platform/case_insensitive_path.h"

namespace dbrepair {

std::string ResolveWithoutCase(const std::string& path) { return path; }

// Windows itself has only one spelling of each existing name.
std::vector<std::string> AllSpellingsWithoutCase(const std::string& path) {
  if (::GetFileAttributesW(jet::widen(path).c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return {path};
}

}  // namespace dbrepair
