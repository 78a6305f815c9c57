#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace dbrepair::testing {

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 text throughout the program; Windows' narrow calls would
// read them in the ANSI code page instead.
fs::path Native(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

TemporaryFolder::TemporaryFolder() {
  // create_directory() reports a name that is taken, so two tests never
  // share a folder.
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = fs::temp_directory_path() / ("dbrepair-test-" + std::to_string(entropy()));
    if (fs::create_directory(folder)) {
      path_ = Utf8(folder);
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  // Windows keeps a read-only file from being removed.
  for (const auto& entry : fs::recursive_directory_iterator(path_, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string TemporaryFolder::operator/(const std::string& relative) const {
  return path_ + static_cast<char>(fs::path::preferred_separator) + relative;
}

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(Native(path).parent_path());
  std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
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
  fs::last_write_time(Native(path), fs::file_time_type::clock::from_sys(when), failed);
  if (failed) ADD_FAILURE() << "cannot date " << path << ": " << failed.message();
}

void MakeFolder(const std::string& path) { fs::create_directories(Native(path)); }

bool MakeReadOnly(const std::string& path) {
  std::error_code failed;
  fs::permissions(Native(path), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::replace, failed);
  return !failed;
}

bool PathExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(Native(path), ignored));
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Native(path))) names.push_back(Utf8(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace dbrepair::testing
