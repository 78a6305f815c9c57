// The characters that end a folder's name in a path on this system. Windows
// takes either slash; on a POSIX system a backslash is part of a name.
#pragma once

namespace jet {

#if defined(_WIN32)
inline constexpr const char* kPathSeparators = "\\/";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

}  // namespace jet
