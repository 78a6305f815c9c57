// Replacing a file so that at every instant its path names either the old or
// the new complete file.
//
// The new contents are written to a fresh file in the same folder (a rename
// is atomic only within one file system), synced and then renamed over the
// old one. On a POSIX system the new file first gets the permissions and,
// where allowed, the owner of the file it replaces, and the folder is synced
// last so that the rename itself survives a crash; on Windows the rename is
// written through to the disk before it returns. A failure at any step
// before the rename removes the new file and leaves the old one untouched.
#pragma once

#include <functional>
#include <string>

#include "jet/base/file.h"

namespace jet {

// Fills the new file. It may write anywhere in it; what it leaves is what
// replaces the old file.
using FileWriter = std::function<void(File& out)>;

// Replaces the file at path (following a symbolic link to the file it names)
// with what write produces. Raises NotFound when there is no file to replace
// and passes on whatever write raises.
void replace_atomically(const std::string& path, const FileWriter& write);

// Writes a new file at path, which must not exist (AlreadyExists), through a
// temporary name beside it, so that a failure leaves nothing at path.
void create_atomically(const std::string& path, const FileWriter& write);

}  // namespace jet
