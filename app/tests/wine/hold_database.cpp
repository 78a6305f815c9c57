// A stand-in for a product that has its database open, built for Windows and
// run under Wine: it opens the database for reading and writing, shared, as
// the Jet engine does, and opens the lock file beside it (the name with
// ".ldb"), writes its user record there and locks that record's bytes for as
// long as the session lasts. It prints "ready" once everything is held and
// keeps holding until its standard input closes.
//
// Usage: hold_database.exe DATABASE
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The Jet lock file's user record: the computer name and the user name, 32
// bytes each.
constexpr DWORD kRecordSize = 64;

std::string LockFileOf(const std::string& database) {
  std::size_t separator = database.find_last_of("\\/:");
  std::size_t dot = database.find_last_of('.');
  bool has_extension = dot != std::string::npos && (separator == std::string::npos || dot > separator + 1);
  return (has_extension ? database.substr(0, dot) : database) + ".ldb";
}

int Fail(const char* what, const std::string& path) {
  std::fprintf(stderr, "hold_database: cannot %s '%s' (error %lu)\n", what, path.c_str(), GetLastError());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hold_database DATABASE\n");
    return 2;
  }
  const std::string database = argv[1];
  const std::string lock_file = LockFileOf(database);
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE data = CreateFileA(database.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (data == INVALID_HANDLE_VALUE) return Fail("open", database);
  HANDLE lock = CreateFileA(lock_file.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (lock == INVALID_HANDLE_VALUE) return Fail("open", lock_file);

  char record[kRecordSize] = {};
  std::strcpy(record, "WINEHOST");
  std::strcpy(record + 32, "Admin");
  DWORD written = 0;
  if (!WriteFile(lock, record, kRecordSize, &written, nullptr) || written != kRecordSize) {
    return Fail("write", lock_file);
  }
  if (!LockFile(lock, 0, 0, kRecordSize, 0)) return Fail("lock", lock_file);

  // Straight to the handle: the C library's text mode would say "\r\n".
  const char ready[] = "ready\n";
  if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), ready, sizeof ready - 1, &written, nullptr)) {
    return Fail("report to", "standard output");
  }
  char c;
  while (std::fread(&c, 1, 1, stdin) == 1) {
  }
  UnlockFile(lock, 0, 0, kRecordSize, 0);
  CloseHandle(lock);
  CloseHandle(data);
  return 0;
}
