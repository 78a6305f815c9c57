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

// Every spelling of name inside folder that matches it without case.
std::vector<std::string> FindEntries(const std::string& folder, const std::string& name) {
  std::vector<std::string> matches;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return matches;
  while (const dirent* entry = ::readdir(dir)) {
    std::string candidate = entry->d_name;
    if (EqualWithoutCase(candidate, name)) matches.push_back(candidate);
  }
  ::closedir(dir);
  std::sort(matches.begin(), matches.end());
  return matches;
}

// The spelling of name inside folder, if any entry matches it without case.
std::optional<std::string> FindEntry(const std::string& folder, const std::string& name) {
  std::vector<std::string> matches = FindEntries(folder, name);
  if (matches.empty()) return std::nullopt;
  return matches.front();
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

std::vector<std::string> AllSpellingsWithoutCase(const std::string& path) {
  std::string resolved = ResolveWithoutCase(path);
  size_t slash = resolved.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : resolved.substr(0, slash + 1);
  std::vector<std::string> paths;
  for (const std::string& name : FindEntries(folder, resolved.substr(folder.size()))) {
    paths.push_back(folder + name);
  }
  return paths;
}

}  // namespace dbrepair
