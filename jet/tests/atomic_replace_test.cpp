#include "jet/atomic_replace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "jet/error.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::read_file_bytes;
using testing::TempFolder;
using testing::write_file_bytes;

const std::vector<std::uint8_t> kOld(3 * 2048, 0x11);
const std::vector<std::uint8_t> kNew(5 * 2048, 0x22);

// Writes the new contents page by page, the way the database writer does.
void write_pages(File& out) {
  for (std::size_t offset = 0; offset < kNew.size(); offset += 2048) {
    out.write_at(offset, Bytes(kNew).subspan(offset, 2048));
  }
}

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

TEST(ReplaceAtomically, AFailureAtAnyWriteLeavesTheOldFileAndNoLeftovers) {
  const std::uint64_t writes = kNew.size() / 2048;
  for (std::uint64_t budget = 0; budget < writes; ++budget) {
    SCOPED_TRACE(budget);
    TempFolder folder;
    std::string path = folder.file("data.mdb");
    write_file_bytes(path, kOld);
    try {
      replace_atomically(path, [&](File& out) {
        FailAfterFile failing(out, budget);
        write_pages(failing);
      });
      ADD_FAILURE() << "the injected failure was not passed on";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Io);
    }
    EXPECT_EQ(read_file_bytes(path), kOld);
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

TEST(ReplaceAtomically, RefusesWhatIsNotAnExistingFile) {
  TempFolder folder;
  struct Row {
    std::string path;
    ErrorCode code;
  } rows[] = {{folder.file("missing.mdb"), ErrorCode::NotFound}, {folder.path().string(), ErrorCode::Io}};
  for (const auto& row : rows) {
    try {
      replace_atomically(row.path, write_pages);
      ADD_FAILURE() << row.path;
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), row.code) << row.path;
    }
  }
  EXPECT_TRUE(folder.entries().empty());
}

TEST(CreateAtomically, WritesANewFileOrNothing) {
  TempFolder folder;
  std::string path = folder.file("copy.mdb");
  EXPECT_THROW(create_atomically(path,
                                 [](File& out) {
                                   FailAfterFile failing(out, 2);
                                   write_pages(failing);
                                 }),
               Error);
  EXPECT_TRUE(folder.entries().empty());

  create_atomically(path, write_pages);
  EXPECT_EQ(read_file_bytes(path), kNew);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"copy.mdb"});

  try {
    create_atomically(path, [](File& out) { out.write_at(0, kOld); });
    ADD_FAILURE() << "an existing destination was overwritten";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::AlreadyExists);
  }
  EXPECT_EQ(read_file_bytes(path), kNew);
}

}  // namespace
}  // namespace jet
