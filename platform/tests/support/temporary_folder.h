// The temporary folder the engine's tests use too, and the file handling the
// utility's tests share.
#pragma once

#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace dbrepair::testing {

using jet::testing::TempFolder;

// Writes content to path, creating its folders.
void WriteFile(const std::string& path, const std::string& content);
// The whole content of path; fails the test when it cannot be read.
std::string ReadFile(const std::string& path);
// Sets the last-write time, in seconds (and milliseconds) since 1970 UTC.
void SetModificationTime(const std::string& path, long long unix_seconds, int millis = 0);
void MakeFolder(const std::string& path);
// Makes a file read-only (mode 0444; on Windows the read-only attribute).
bool MakeReadOnly(const std::string& path);
bool PathExists(const std::string& path);
// The names in folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

}  // namespace dbrepair::testing
