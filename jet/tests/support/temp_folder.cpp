#include "support/temp_folder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace jet::testing {

namespace fs = std::filesystem;

fs::path native_path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string utf8_path(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

TempFolder::TempFolder() {
  // create_directory() reports a name that is taken, so two tests never
  // share a folder.
  std::random_device entropy;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = fs::temp_directory_path() / ("dbrepair-test-" + std::to_string(entropy()));
    if (fs::create_directory(folder)) {
      path_ = utf8_path(folder);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  const fs::path folder = native_path(path_);
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
  // Windows keeps a read-only file from being removed.
  for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(folder, ignored);
}

std::string TempFolder::file(const std::string& relative) const {
  return path_ + static_cast<char>(fs::path::preferred_separator) + relative;
}

std::vector<std::string> TempFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(native_path(path_))) names.push_back(utf8_path(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::uint8_t> read_file_bytes(const std::string& path) {
  std::ifstream in(native_path(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(native_path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace jet::testing
