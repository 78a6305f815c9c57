// Windows matches names without regard to case itself: a path needs only
// its separators in the form Windows writes them, so that a path built from
// "/"-joined parts reads as the user knows it.
#include <windows.h>

#include <algorithm>

#include "jet/wide_text.h"
#include "platform/case_insensitive_path.h"

namespace dbrepair {

std::string ResolveWithoutCase(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

// Windows itself has only one spelling of each existing name.
std::vector<std::string> AllSpellingsWithoutCase(const std::string& path) {
  const std::string native = ResolveWithoutCase(path);
  if (::GetFileAttributesW(jet::widen(native).c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  return {native};
}

}  // namespace dbrepair
