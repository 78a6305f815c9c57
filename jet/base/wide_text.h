// Text at the border with the Windows API: the engine and the utility keep
// UTF-8 everywhere, and Windows' own calls take and give UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace jet {

// UTF-8 to UTF-16 and back. A byte sequence that is no UTF-8 becomes U+FFFD,
// so a damaged name still reaches the call that reports it missing.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);

// The system's message for a Windows error code, in UTF-8, without the line
// break Windows ends it with.
std::string windows_error_text(unsigned long code);

// Raises the engine's error for a failed Windows call on path: NotFound for
// a missing file or folder, AlreadyExists, FileInUse for a sharing or lock
// violation, and Io with the system's message for anything else.
[[noreturn]] void throw_windows_error(const std::string& what, const std::string& path, unsigned long code);

}  // namespace jet
