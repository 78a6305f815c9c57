// Windows matches names without regard to case itself: a path needs only
// its separators in the form Windows writes them, so that a path built from
// "/"-joined parts reads as the user knows it.
#include <algorithm>

#include "platform/case_insensitive_path.h"

namespace dbrepair {

std::string ResolveWithoutCase(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

}  // namespace dbrepair
