#include "platform/special_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/case_insensitive_path.h"

namespace dbrepair {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
  }
  return home;
}

// XDG_DOCUMENTS_DIR from user-dirs.dirs: a line XDG_DOCUMENTS_DIR="$HOME/Docs".
std::string ConfiguredDocuments(const std::string& home) {
  std::string config = Environment("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::ifstream file(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(file, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    // A documents folder equal to the home folder means "not configured".
    return value == home || value == home + "/" ? "" : value;
  }
  return home.empty() ? "" : home + "/Documents";
}

}  // namespace

WineEnvironment WineEnvironment::FromProcess() {
  WineEnvironment env;
  std::string home = HomeFolder();
  env.prefix = Environment("WINEPREFIX");
  if (env.prefix.empty() && !home.empty()) env.prefix = home + "/.wine";
  env.user = Environment("USER");
  if (env.user.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid())) env.user = entry->pw_name;
  }
  env.xdgDocuments = ConfiguredDocuments(home);
  return env;
}

std::string WineSpecialFolders::ExistingFolder(const std::string& path) const {
  if (path.empty()) return "";
  std::string resolved = ResolveWithoutCase(path);
  struct stat info {};
  if (::stat(resolved.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return "";
  return resolved;
}

std::string WineSpecialFolders::FolderPath(int folder) {
  if (env_.prefix.empty()) return folder == kFolderPersonal ? ExistingFolder(env_.xdgDocuments) : "";
  const std::string drive = env_.prefix + "/drive_c";
  switch (folder) {
    case kFolderPersonal: {
      std::string documents =
          env_.user.empty() ? "" : ExistingFolder(drive + "/users/" + env_.user + "/Documents");
      return documents.empty() ? ExistingFolder(env_.xdgDocuments) : documents;
    }
    case kFolderProgramFiles:
      return ExistingFolder(drive + "/Program Files");
    case kFolderProgramFilesX86:
      return ExistingFolder(drive + "/Program Files (x86)");
    case kFolderCommonAppData:
      return ExistingFolder(drive + "/ProgramData");
    default:
      return "";
  }
}

std::string WineSpecialFolders::DriveC() {
  return env_.prefix.empty() ? "" : ExistingFolder(env_.prefix + "/drive_c");
}

SpecialFolders& SystemSpecialFolders() {
  static WineSpecialFolders folders(WineEnvironment::FromProcess());
  return folders;
}

}  // namespace dbrepair
