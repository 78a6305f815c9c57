// Whether the data file at a path may be replaced, rewritten or deleted now.
//
// On Windows a file that a program holds open, or that carries the read-only
// attribute, can be neither replaced nor deleted, and the commands rely on
// that: their copy, delete and engine calls fail before anything changes. A
// Linux file system allows all of it, so every operation that replaces or
// deletes a data file asks here first. One implementation per platform.
#pragma once

#include <cstdint>
#include <string>

namespace dbrepair {

enum class FileBarrier {
  None,
  // Another process holds byte-range locks on the file or on its lock file
  // (the name with ".ldb"): a program, or a product under Wine, has it open.
  InUse,
  // The file has no write bit in its mode (the counterpart of the read-only
  // attribute, which binds even an administrator), or this user may not
  // write it.
  ReadOnly,
  // No new file can be made in the file's folder, so a replacement written
  // beside it could not be put in place.
  FolderReadOnly,
};

// What stands in the way of replacing or deleting the file at path. A path
// that names no file has no barrier of its own, only its folder's.
FileBarrier BarrierToReplacing(const std::string& path);

// For the database engines, which name the file in their errors: raises a
// RuntimeError numbered in_use ("Could not use '<path>'; file already in
// use.") or read_only ("...; file is read-only.", "...; its folder is
// read-only.") when the file may not be replaced.
void RefuseUnreplaceable(const std::string& path, std::int32_t in_use, std::int32_t read_only);

}  // namespace dbrepair
