#include "fileutil/parse_path.h"

#include <algorithm>
#include <cctype>

namespace dbrepair {

namespace {

bool IsSeparator(char c, PathStyle style) {
  if (style == PathStyle::Posix) return c == '/';
  return c == '\\' || c == ':' || c == '/';
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace

std::string ParsePath(std::string_view path, std::string_view part, PathStyle style) {
  // 0-based: name_start is the file name's first character, name_end is one
  // past the bare name's last character.
  size_t name_start = 0;
  size_t name_end = path.size();
  for (size_t i = path.size(); i-- > 0;) {
    if (path[i] == '.') name_end = i;
    if (IsSeparator(path[i], style)) {
      name_start = i + 1;
      break;
    }
  }

  const std::string selector = Lower(part);
  if (selector == "dir") return std::string(path.substr(0, name_start));
  if (selector == "nameonly") {
    return name_end > name_start ? std::string(path.substr(name_start, name_end - name_start)) : "";
  }
  if (selector == "name") return std::string(path.substr(name_start));
  return "";
}

}  // namespace dbrepair
