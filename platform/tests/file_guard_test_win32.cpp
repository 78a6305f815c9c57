// What stands in the way of replacing or deleting a file on Windows: a
// sharing violation, the lock file's locks, the read-only attribute.
#include <windows.h>
#undef DeleteFile

#include <gtest/gtest.h>

#include "error_number.h"
#include "jet/base/wide_text.h"
#include "platform/file_guard.h"
#include "platform/file_operations.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

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

TEST(FileGuardWin32Test, BarriersAsWindowsRaisesThem) {
  TempFolder dir;
  const DWORD as_jet = FILE_SHARE_READ | FILE_SHARE_WRITE;
  for (const char* name : {"plain.mdb", "stale.mdb", "stale.ldb", "open.mdb", "held.mdb", "committing.mdb",
                           "read-only.mdb", "shared.mdb"}) {
    WriteFile(dir.file(name), "x");
  }
  ASSERT_TRUE(MakeReadOnly(dir.file("read-only.mdb")));
  // A product shares its database for reading and writing, not for deletion.
  Held open(dir.file("open.mdb"), as_jet);
  // It locks its record in the lock file, whose name it was given in capitals.
  Held lock_file(dir.file("HELD.LDB"), as_jet);
  ASSERT_TRUE(lock_file.Lock());
  // While it commits it locks bytes of the database itself.
  Held committing(dir.file("committing.mdb"), as_jet | FILE_SHARE_DELETE);
  ASSERT_TRUE(committing.Lock());
  // A reader that lets the file be deleted stands in no one's way.
  Held shared(dir.file("shared.mdb"), as_jet | FILE_SHARE_DELETE);

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
  for (const Row& row : rows) EXPECT_EQ(BarrierToReplacing(dir.file(row.name)), row.barrier) << row.name;

  // Copy and delete refuse with the numbers the commands expect, and leave
  // the file as it was.
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir.file("open.mdb")); }), kErrPermissionDenied);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir.file("plain.mdb"), dir.file("held.mdb")); }), kErrPermissionDenied);
  EXPECT_EQ(ErrorNumberOf([&] { DeleteFile(dir.file("read-only.mdb")); }), kErrPathFileAccess);
  EXPECT_EQ(ReadFile(dir.file("read-only.mdb")), "x");
}

}  // namespace
}  // namespace dbrepair::testing
