// The file-system questions of the command logic, answered with plain
// values: never an error, never a handle. Paths are matched without regard
// to letter case, as Windows matches them (platform/case_insensitive_path.h).
#pragma once

#include <string>

#include "platform/date.h"
#include "platform/special_folders.h"

namespace dbrepair {

// True when path names an existing file that is not a folder (symbolic links
// followed). False for a folder, a missing path and the empty text.
bool FileExists(const std::string& path);

// True exactly when path names an existing folder.
bool FolderExists(const std::string& path);

// The file's last-write time in UTC, to the second; the zero date when the
// file cannot be opened for reading or is a folder.
Date GetFileDate(const std::string& path);

// The special folder's path with one separator ("/", on Windows "\\")
// appended, or the empty text when it cannot be resolved. A root folder
// therefore gets a second one.
std::string GetSpecialFolderPath(SpecialFolders& folders, int folder);

}  // namespace dbrepair
