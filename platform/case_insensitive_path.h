// Windows file names ignore letter case; the Linux file system does not. A
// path built from Windows names is matched against the disk one component at
// a time, without regard to case, so that "Corvane Software" finds a folder
// spelt "corvane software".
#pragma once

#include <string>
#include <vector>

namespace dbrepair {

// The path with each component that exists on disk under another spelling
// replaced by that spelling. An exact match wins over a case-folded one; among
// several case-folded matches the first in byte order is taken. From the
// first component that has no match on, the rest is returned as given.
// Relative paths are resolved against the current folder and stay relative.
std::string ResolveWithoutCase(const std::string& path);

// Every existing path that path names without regard to case: its folder
// resolved as above, then each entry there whose name matches the last
// component, in byte order. Empty when none exists.
std::vector<std::string> AllSpellingsWithoutCase(const std::string& path);

}  // namespace dbrepair
