// Copy and delete through the Windows calls: Windows' error codes as the
// handlers' numbers, and names beyond the ANSI code page.
#include <windows.h>
#undef DeleteFile

#include <gtest/gtest.h>

#include "error_number.h"
#include "platform/file_operations.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

TEST(FileOperationsWin32Test, WindowsCodesBecomeTheHandlersNumbers) {
  const struct {
    DWORD code;
    int number;
  } rows[] = {
      {ERROR_FILE_NOT_FOUND, kErrFileNotFound},   {ERROR_PATH_NOT_FOUND, kErrPathNotFound},
      {ERROR_INVALID_DRIVE, kErrPathNotFound},    {ERROR_BAD_NETPATH, kErrPathNotFound},
      {ERROR_ACCESS_DENIED, kErrPermissionDenied}, {ERROR_SHARING_VIOLATION, kErrPermissionDenied},
      {ERROR_LOCK_VIOLATION, kErrPermissionDenied}, {ERROR_WRITE_PROTECT, kErrPermissionDenied},
      {ERROR_DISK_FULL, kErrDiskFull},             {ERROR_HANDLE_DISK_FULL, kErrDiskFull},
      {ERROR_CRC, kErrDeviceIo},                   {ERROR_NOT_READY, kErrDeviceIo},
      {ERROR_INVALID_PARAMETER, kErrPathFileAccess},
  };
  for (const auto& row : rows) EXPECT_EQ(FileError(static_cast<int>(row.code), "x").Number(), row.number) << row.code;
}

TEST(FileOperationsWin32Test, CopyAndDeleteNamesBeyondTheAnsiCodePage) {
  TempFolder dir;
  // "Данные" and "数据".
  const std::string source = dir.file("\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5.mdb");
  const std::string destination = dir.file("\xE6\x95\xB0\xE6\x8D\xAE.1");
  WriteFile(source, "new");
  WriteFile(destination, "old");
  CopyFileReplacing(source, destination);
  EXPECT_EQ(ReadFile(destination), "new");
  DeleteFile(source);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"\xE6\x95\xB0\xE6\x8D\xAE.1"});
}

}  // namespace
}  // namespace dbrepair::testing
