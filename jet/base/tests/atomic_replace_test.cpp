#include "jet/base/atomic_replace.h"

#include <gtest/gtest.h>

#include "jet/base/error.h"
#include "support/fail_after_file.h"
#include "support/replaced_pages.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::kNew;
using testing::kOld;
using testing::read_file_bytes;
using testing::TempFolder;
using testing::write_file_bytes;
using testing::write_pages;

TEST(ReplaceAtomically, AFailureAtAnyWriteLeavesTheOldFileAndNoLeftovers) {
  const std::uint64_t writes = kNew.size() / 2048;
  for (std::uint64_t budget = 0; budget < writes; ++budget) {
    SCOPED_TRACE(budget);
    TempFolder folder;
    std::string path = folder.file("data.mdb");
    write_file_bytes(path, kOld);
    try {
      replace_atomically(path, [&](File& out) {
        testing::FailAfterFile failing(out, budget);
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

TEST(ReplaceAtomically, RefusesWhatIsNotAnExistingFile) {
  TempFolder folder;
  struct Row {
    std::string path;
    ErrorCode code;
  } rows[] = {{folder.file("missing.mdb"), ErrorCode::NotFound}, {folder.path(), ErrorCode::Io}};
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
                                   testing::FailAfterFile failing(out, 2);
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
