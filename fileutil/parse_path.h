// ParsePath: the one routine with which a path is taken apart into its
// folder, its bare name and its file name. Pure text work.
#pragma once

#include <string>
#include <string_view>

namespace dbrepair {

// Which characters separate a path's components.
enum class PathStyle {
  Windows,  // "\", ":" (after a drive letter) and "/"
  Posix,    // "/" only
};

// The style of the paths this program hands to the file system.
#if defined(_WIN32)
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// part, compared without case:
//   "dir"       the folder with its trailing separator; empty without one
//   "nameonly"  the file name up to, not including, its leftmost "."
//   "name"      the whole file name
//   anything else: the empty text.
// Dots in folder names are never seen: the file name starts after the last
// separator.
std::string ParsePath(std::string_view path, std::string_view part,
                      PathStyle style = kNativePathStyle);

}  // namespace dbrepair
