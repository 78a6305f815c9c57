// A fresh folder under the system's temporary folder, removed with everything
// in it when the test ends: the engine's tests and the utility's share it.
// Paths are UTF-8 text, as everywhere in the program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jet::testing {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + the system's separator + relative.
  std::string file(const std::string& relative) const;
  // Names of the entries in the folder, sorted.
  std::vector<std::string> entries() const;

 private:
  std::string path_;
};

// A UTF-8 path as the system's calls take it: Windows' narrow calls would
// read it in the ANSI code page instead.
std::filesystem::path native_path(const std::string& utf8);
std::string utf8_path(const std::filesystem::path& path);

std::vector<std::uint8_t> read_file_bytes(const std::string& path);
void write_file_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace jet::testing
