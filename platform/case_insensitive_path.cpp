#include "platform/case_insensitive_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace dbrepair {

namespace {

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool EqualWithoutCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// The spelling of name inside folder, if any entry matches it without case.
std::optional<std::string> FindEntry(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> matches;
  while (const dirent* entry = ::readdir(dir)) {
    std::string candidate = entry->d_name;
    if (EqualWithoutCase(candidate, name)) matches.push_back(candidate);
  }
  ::closedir(dir);
  if (matches.empty()) return std::nullopt;
  return *std::min_element(matches.begin(), matches.end());
}

}  // namespace

std::string ResolveWithoutCase(const std::string& path) {
  std::string resolved;  // the folder resolved so far, with its trailing "/"
  size_t position = 0;
  while (position < path.size() && path[position] == '/') resolved += path[position++];

  while (position < path.size()) {
    size_t slash = path.find('/', position);
    std::string component = path.substr(position, slash == std::string::npos ? slash : slash - position);
    bool found = true;
    if (!component.empty() && component != "." && component != ".." &&
        !Exists(resolved + component)) {
      if (auto spelling = FindEntry(resolved, component)) {
        component = *spelling;
      } else {
        found = false;
      }
    }
    if (!found) return resolved + path.substr(position);
    resolved += component;
    if (slash == std::string::npos) break;
    resolved += '/';
    position = slash + 1;
  }
  return resolved;
}

}  // namespace dbrepair
