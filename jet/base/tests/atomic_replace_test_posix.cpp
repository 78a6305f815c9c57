#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "jet/base/atomic_replace.h"
#include "support/replaced_pages.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

// What a replacement keeps of a POSIX file beyond its bytes.
using namespace testing;

mode_t mode_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(ReplaceAtomically, ReplacesTheContentsAndKeepsThePermissions) {
  for (mode_t mode : {0600, 0640, 0444, 0664}) {
    SCOPED_TRACE(mode);
    TempFolder folder;
    std::string path = folder.file("data.mdb");
    write_file_bytes(path, kOld);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    replace_atomically(path, write_pages);
    EXPECT_EQ(read_file_bytes(path), kNew);
    EXPECT_EQ(mode_of(path), mode);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"data.mdb"});
  }
}

TEST(ReplaceAtomically, ReplacesTheFileALinkNamesAndKeepsTheLink) {
  TempFolder folder;
  std::string target = folder.file("real.mdb");
  std::string link = folder.file("link.mdb");
  write_file_bytes(target, kOld);
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  replace_atomically(link, write_pages);
  EXPECT_EQ(read_file_bytes(target), kNew);
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

}  // namespace
}  // namespace jet
