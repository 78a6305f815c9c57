// The numbered safety backup every changing command makes first: a copy of
// the data file beside it, named folder + bare name + "." + n with the lowest
// free n from 1 to 1000. Safety backups are never overwritten or deleted.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/user_interface.h"

namespace dbrepair {

inline constexpr int kMaxSafetyBackups = 1000;

// The name of safety backup n of the data file at path.
std::string SafetyBackupName(const std::string& path, int n);

// True to go on: the copy was made, or path names no file (nothing copied).
// False after telling the user that all numbers are taken (nothing written).
// A failed copy raises the file system's RuntimeError to the caller.
bool MakeNumberedBackup(const std::string& path, UserInterface& ui, FileSystem& files);

}  // namespace dbrepair
