#include "jet/base/wide_text.h"

#include <windows.h>

#include "jet/base/error.h"

namespace jet {

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::string windows_error_text(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message = length > 0 ? std::wstring(buffer, length) : L"";
  ::LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  if (message.empty()) return "Windows error " + std::to_string(code);
  return narrow(message);
}

void throw_windows_error(const std::string& what, const std::string& path, unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      throw Error(ErrorCode::NotFound, what + " '" + path + "': no such file");
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      throw Error(ErrorCode::AlreadyExists, "'" + path + "' already exists");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      throw Error(ErrorCode::FileInUse, "Could not use '" + path + "'; file already in use.");
    default:
      throw Error(ErrorCode::Io, what + " '" + path + "': " + windows_error_text(code));
  }
}

}  // namespace jet
