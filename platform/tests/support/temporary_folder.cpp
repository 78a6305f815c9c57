#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dbrepair::testing {

namespace fs = std::filesystem;

using jet::testing::native_path;
using jet::testing::utf8_path;

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(native_path(path).parent_path());
  std::ofstream out(native_path(path), std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(native_path(path), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << path;
    return "";
  }
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void SetModificationTime(const std::string& path, long long unix_seconds, int millis) {
  const std::chrono::sys_time<std::chrono::milliseconds> when{std::chrono::seconds(unix_seconds) +
                                                              std::chrono::milliseconds(millis)};
  std::error_code failed;
  fs::last_write_time(native_path(path), fs::file_time_type::clock::from_sys(when), failed);
  if (failed) ADD_FAILURE() << "cannot date " << path << ": " << failed.message();
}

void MakeFolder(const std::string& path) { fs::create_directories(native_path(path)); }

bool MakeReadOnly(const std::string& path) {
  std::error_code failed;
  fs::permissions(native_path(path), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::replace, failed);
  return !failed;
}

bool PathExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(native_path(path), ignored));
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(native_path(path))) names.push_back(utf8_path(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace dbrepair::testing
