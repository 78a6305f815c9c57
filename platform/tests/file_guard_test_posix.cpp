// What stands in the way of replacing or deleting a file, as the commands'
// copy, delete and engine facades ask it.
#include "platform/file_guard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "as_nobody.h"
#include "temporary_folder.h"

namespace dbrepair::testing {
namespace {

// The barrier as a user without privileges sees it.
std::optional<FileBarrier> BarrierForNobody(const std::string& path) {
  std::optional<int> barrier = AsNobody([&] { return static_cast<int>(BarrierToReplacing(path)); });
  if (!barrier) return std::nullopt;
  return static_cast<FileBarrier>(*barrier);
}

TEST(FileGuardTest, BarriersAsWindowsWouldRaiseThem) {
  TempFolder dir;
  WriteFile(dir.file("plain.mdb"), "x");
  WriteFile(dir.file("read-only.mdb"), "x");
  ::chmod((dir.file("read-only.mdb")).c_str(), 0444);
  WriteFile(dir.file("held.mdb"), "x");
  // A product under Wine names the lock file as it was given the path.
  WriteFile(dir.file("HELD.LDB"), "");
  int lock_fd = ::open((dir.file("HELD.LDB")).c_str(), O_RDWR | O_CLOEXEC);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_len = 64;
  // An open-file-description lock conflicts with the guard's own question.
  ASSERT_EQ(::fcntl(lock_fd, F_OFD_SETLK, &lock), 0);
  // Jet also locks bytes of the database itself while it commits.
  WriteFile(dir.file("committing.mdb"), "x");
  int self_fd = ::open((dir.file("committing.mdb")).c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::fcntl(self_fd, F_OFD_SETLK, &lock), 0);
  // Files of root in a folder of root, and a file of nobody's there.
  MakeFolder(dir.file("roots"));
  ::chmod(dir.path().c_str(), 0755);
  ::chmod((dir.file("roots")).c_str(), 0755);
  WriteFile(dir.file("roots/root-owned.mdb"), "x");
  WriteFile(dir.file("roots/nobodys.mdb"), "x");
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((dir.file("roots/nobodys.mdb")).c_str(), kNobody, kNobody), 0);
  }

  struct Row {
    std::string path;
    bool as_nobody;
    FileBarrier barrier;
  };
  const Row rows[] = {
      {dir.file("plain.mdb"), false, FileBarrier::None},
      {dir.file("missing.mdb"), false, FileBarrier::None},
      {dir.file("nowhere/missing.mdb"), false, FileBarrier::None},
      {dir.file("read-only.mdb"), false, FileBarrier::ReadOnly},
      {dir.file("held.mdb"), false, FileBarrier::InUse},
      {dir.file("committing.mdb"), false, FileBarrier::InUse},
      {dir.file("roots/root-owned.mdb"), true, FileBarrier::ReadOnly},
      {dir.file("roots/nobodys.mdb"), true, FileBarrier::FolderReadOnly},
      {dir.file("roots/new.mdb"), true, FileBarrier::FolderReadOnly},
  };
  for (const Row& row : rows) {
    if (row.as_nobody && !root) continue;  // only root can become nobody
    std::optional<FileBarrier> barrier = row.as_nobody ? BarrierForNobody(row.path) : BarrierToReplacing(row.path);
    ASSERT_TRUE(barrier) << "no answer as nobody for " << row.path;
    EXPECT_EQ(static_cast<int>(*barrier), static_cast<int>(row.barrier)) << row.path;
  }
  ::close(lock_fd);
  ::close(self_fd);
  EXPECT_EQ(static_cast<int>(BarrierToReplacing(dir.file("held.mdb"))), static_cast<int>(FileBarrier::None));
}

}  // namespace
}  // namespace dbrepair::testing
