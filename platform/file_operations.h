// Whole-file copy and delete, raising the numbered run-time errors the
// handlers report: 53 file not found, 57 device I/O error, 61 disk full,
// 70 permission denied, 75 path/file access error, 76 path not found.
#pragma once

#include <string>

#include "platform/runtime_error.h"

namespace dbrepair {

inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrDeviceIo = 57;
inline constexpr int kErrDiskFull = 61;
inline constexpr int kErrPermissionDenied = 70;
inline constexpr int kErrPathFileAccess = 75;
inline constexpr int kErrPathNotFound = 76;

// The folder that holds path: "." for a bare name, "/" for a name in the
// root.
std::string ParentFolder(const std::string& path);

// The run-time error for a failed system call on path (errno value).
RuntimeError FileError(int errno_value, const std::string& path);

// Raises what Windows raises when a file may not be replaced or deleted: 70
// "Permission denied" for a file another program holds open, 75 "Path/File
// access error" for a read-only file or a folder no file can be made in.
void EnsureReplaceable(const std::string& path);

// Both operations find their paths without regard to letter case, as Windows
// does, and refuse (EnsureReplaceable) before anything changes.
//
// Copies the whole file at source to destination, replacing a file there.
// The copy is written to a temporary file beside the destination, synced and
// renamed over it, so the destination holds either its old or the complete
// new content at every instant; on failure it is untouched and no temporary
// file is left. A replaced file keeps its owner, group and permission bits; a
// new one gets the source's. Where the group cannot be given, the group's
// permission bits are dropped.
void CopyFileReplacing(const std::string& source, const std::string& destination);

// Removes exactly the one named file (never a folder).
void DeleteFile(const std::string& path);

}  // namespace dbrepair
