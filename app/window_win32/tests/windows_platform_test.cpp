// The utility's Windows side where it meets the system: the Open dialog's
// filter, Windows' error codes as the handlers' numbers, copy and delete
// through the Windows calls, and the file-system questions.
#include <windows.h>
#undef DeleteFile

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "app/window_win32/win32_open_dialog.h"
#include "fileutil/file_queries.h"
#include "jet/wide_text.h"
#include "platform/file_guard.h"
#include "platform/file_operations.h"

namespace dbrepair {
namespace {

std::filesystem::path Native(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// A fresh folder under the temporary folder, removed at the end.
class Folder {
 public:
  Folder() {
    std::random_device entropy;
    path_ = jet::narrow((std::filesystem::temp_directory_path() /
                         ("dbrepair-win-" + std::to_string(entropy()))).wstring());
    std::filesystem::create_directories(Native(path_));
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(Native(path_), ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

void Write(const std::string& path, const std::string& content) {
  std::ofstream(Native(path), std::ios::binary) << content;
}

std::string Read(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int ErrorNumberOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const RuntimeError& error) {
    return error.number();
  }
  return 0;
}

TEST(WindowsFilter, EndsEachPartAndTheListWithANul) {
  using namespace std::string_literals;
  const struct {
    const char* filter;
    std::wstring list;
  } rows[] = {
      {"All Files (*.*)|*.*|Microsoft Access Databases (*.mdb)|*.mdb",
       L"All Files (*.*)\0*.*\0Microsoft Access Databases (*.mdb)\0*.mdb\0\0"s},
      {"Databases|*.mdb;*.mde|", L"Databases\0*.mdb;*.mde\0\0"s},
      {"Only a description", L"Only a description\0*.*\0\0"s},
      {"", L"\0"s},
  };
  for (const auto& row : rows) EXPECT_EQ(windowsFilter(row.filter), row.list) << row.filter;
}

TEST(WindowsFileError, WindowsCodesBecomeTheHandlersNumbers) {
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
  for (const auto& row : rows) EXPECT_EQ(FileError(static_cast<int>(row.code), "x").number(), row.number) << row.code;
}

TEST(WindowsCopyAndDelete, ReplaceWholeFilesUnderAnyNameAndReportWhatFails) {
  Folder folder;
  // "Данные" and "数据": names beyond the ANSI code page.
  const std::string source = folder / "\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5.mdb";
  const std::string destination = folder / "\xE6\x95\xB0\xE6\x8D\xAE.1";
  Write(source, std::string(3 << 20, 'n'));  // beyond one buffer of the copy
  Write(destination, "old");
  CopyFileReplacing(source, destination);
  EXPECT_EQ(Read(destination), Read(source));
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(Native(folder / ""))) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 2u) << "a temporary copy was left behind";

  std::filesystem::create_directory(Native(folder / "sub"));
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(folder / "missing.mdb", destination); }), kErrFileNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(source, folder / "nowhere\\x.1"); }), kErrPathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(source, folder / "sub"); }), kErrPathFileAccess);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(folder / "missing.mdb"); }), kErrFileNotFound);
  DeleteFile(destination);
  EXPECT_FALSE(FileExists(destination));
}

TEST(WindowsFileQueries, AnswerAsTheAttributeWordAndTheFileTimesSay) {
  Folder folder;
  const std::string file = folder / "\xCE\x94\xCE\xB5\xCE\xB4\xCE\xBF\xCE\xBC\xCE\xAD\xCE\xBD\xCE\xB1.mdb";
  Write(file, "x");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_TRUE(FolderExists(folder / ""));
  EXPECT_FALSE(FileExists(folder / ""));
  EXPECT_FALSE(FileExists(folder / "missing"));
  EXPECT_FALSE(FileExists(""));

  // 14 March 2009, 08:05:09.500 UTC, whatever the time zone: to the second.
  HANDLE handle = ::CreateFileW(jet::widen(file).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  SYSTEMTIME time{2009, 3, 6, 14, 8, 5, 9, 500};
  FILETIME written{};
  ASSERT_TRUE(::SystemTimeToFileTime(&time, &written));
  ASSERT_TRUE(::SetFileTime(handle, nullptr, nullptr, &written));
  ::CloseHandle(handle);
  EXPECT_EQ(GetFileDate(file), Date::FromParts(2009, 3, 14, 8, 5, 9));

  // Held open by another program without sharing: no date.
  HANDLE held = ::CreateFileW(jet::widen(file).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(GetFileDate(file).isZero());
  ::CloseHandle(held);
}

// A handle of "another program": opened with the given sharing, closed at
// the end.
class Held {
 public:
  Held(const std::string& path, DWORD sharing)
      : handle_(::CreateFileW(jet::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, sharing, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~Held() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  bool Lock() { return handle_ != INVALID_HANDLE_VALUE && ::LockFile(handle_, 0, 0, 64, 0) != 0; }

 private:
  HANDLE handle_;
};

TEST(WindowsFileGuard, BarriersAsWindowsRaisesThem) {
  Folder folder;
  const DWORD as_jet = FILE_SHARE_READ | FILE_SHARE_WRITE;
  for (const char* name : {"plain.mdb", "stale.mdb", "stale.ldb", "open.mdb", "held.mdb", "committing.mdb",
                           "read-only.mdb", "shared.mdb"}) {
    Write(folder / name, "x");
  }
  ASSERT_TRUE(::SetFileAttributesW(jet::widen(folder / "read-only.mdb").c_str(), FILE_ATTRIBUTE_READONLY));
  // A product shares its database for reading and writing, not for deletion.
  Held open(folder / "open.mdb", as_jet);
  // It locks its record in the lock file, whose name it was given in capitals.
  Held lock_file(folder / "HELD.LDB", as_jet);
  ASSERT_TRUE(lock_file.Lock());
  // While it commits it locks bytes of the database itself.
  Held committing(folder / "committing.mdb", as_jet | FILE_SHARE_DELETE);
  ASSERT_TRUE(committing.Lock());
  // A reader that lets the file be deleted stands in no one's way.
  Held shared(folder / "shared.mdb", as_jet | FILE_SHARE_DELETE);

  struct Row {
    std::string name;
    FileBarrier barrier;
  };
  const Row rows[] = {
      {"plain.mdb", FileBarrier::None},      {"missing.mdb", FileBarrier::None},
      {"nowhere\\missing.mdb", FileBarrier::None},
      // A lock file nobody locks is what a crashed program left behind.
      {"stale.mdb", FileBarrier::None},      {"shared.mdb", FileBarrier::None},
      {"open.mdb", FileBarrier::InUse},      {"held.mdb", FileBarrier::InUse},
      {"committing.mdb", FileBarrier::InUse}, {"read-only.mdb", FileBarrier::ReadOnly},
  };
  for (const Row& row : rows) EXPECT_EQ(BarrierToReplacing(folder / row.name), row.barrier) << row.name;

  // Copy and delete refuse with the numbers the commands expect, and leave
  // the file as it was.
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(folder / "open.mdb"); }), kErrPermissionDenied);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(folder / "plain.mdb", folder / "held.mdb"); }),
            kErrPermissionDenied);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(folder / "read-only.mdb"); }), kErrPathFileAccess);
  EXPECT_EQ(Read(folder / "read-only.mdb"), "x");
  ::SetFileAttributesW(jet::widen(folder / "read-only.mdb").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace dbrepair
