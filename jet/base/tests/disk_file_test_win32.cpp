// The engine's file layer on Windows handles: how Windows reports a file it
// cannot open, a file another program holds open, and names outside the
// Latin alphabet, which reach the system as UTF-16.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/base/atomic_replace.h"
#include "jet/base/file.h"
#include "jet/base/file_lock.h"
#include "jet/base/wide_text.h"
#include "jet/maintenance.h"
#include "jet/write/generate.h"
#include "support/replaced_pages.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::kNew;
using testing::kOld;
using testing::TempFolder;
using testing::write_file_bytes;
using testing::write_pages;

// A handle that another program would hold: open for reading and writing,
// shared with nobody.
class UnsharedHandle {
 public:
  explicit UnsharedHandle(const std::string& path)
      : handle_(::CreateFileW(widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~UnsharedHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  UnsharedHandle(const UnsharedHandle&) = delete;
  UnsharedHandle& operator=(const UnsharedHandle&) = delete;
  bool open() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

std::filesystem::path utf8_path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

TEST(DiskFileOnWindows, OpenNamesEachFailureAsThePosixFileDoes) {
  TempFolder folder;
  const std::string present = folder.file("present.mdb");
  const std::string held = folder.file("held.mdb");
  write_file_bytes(present, kOld);
  write_file_bytes(held, kOld);
  UnsharedHandle holder(held);
  ASSERT_TRUE(holder.open());
  struct Row {
    const char* name;
    std::string path;
    DiskFile::Mode mode;
    ErrorCode code;
  } rows[] = {
      {"missing", folder.file("missing.mdb"), DiskFile::Mode::ReadOnly, ErrorCode::NotFound},
      {"in a missing folder", folder.file("none\\missing.mdb"), DiskFile::Mode::ReadWrite, ErrorCode::NotFound},
      {"a folder", folder.path(), DiskFile::Mode::ReadOnly, ErrorCode::Io},
      {"new over an existing file", present, DiskFile::Mode::CreateNew, ErrorCode::AlreadyExists},
      {"held open by another program", held, DiskFile::Mode::ReadOnly, ErrorCode::FileInUse},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    try {
      DiskFile::open(row.path, row.mode);
      ADD_FAILURE() << "opened";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), row.code) << e.what();
    }
  }
}

TEST(DiskFileOnWindows, ReadsWritesAndTruncatesAtPositionsUnderANonLatinName) {
  TempFolder folder;
  const std::string path = folder.file("") + "\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5-\xE6\x95\xB0\xE6\x8D\xAE.mdb";
  {
    auto file = DiskFile::open(path, DiskFile::Mode::CreateNew);
    write_pages(*file);
    file->write_at(kNew.size() + 100, kOld);  // beyond the end: the gap reads as zeros
    EXPECT_EQ(file->size(), kNew.size() + 100 + kOld.size());
    std::vector<std::uint8_t> gap(100, 0xff);
    file->read_at(kNew.size(), gap);
    EXPECT_EQ(gap, std::vector<std::uint8_t>(100, 0));
    file->truncate(kNew.size());
    file->sync();
    std::vector<std::uint8_t> past(2);
    EXPECT_THROW(file->read_at(kNew.size() - 1, past), Error);
  }
  EXPECT_TRUE(std::filesystem::exists(utf8_path(path)));
  auto again = DiskFile::open(path, DiskFile::Mode::ReadOnly);
  EXPECT_EQ(read_all(*again), kNew);
}

TEST(FileLockOnWindows, AFileAnotherProgramHoldsUnsharedIsInUse) {
  TempFolder folder;
  const std::string database = folder.file("orders.mdb");
  write_file_bytes(database, kOld);
  {
    UnsharedHandle holder(database);
    ASSERT_TRUE(holder.open());
    EXPECT_TRUE(has_foreign_locks(database));
    EXPECT_THROW(ensure_not_in_use(database), Error);
  }
  EXPECT_FALSE(has_foreign_locks(database));
  EXPECT_EQ(lock_file_path("C:\\data.d\\orders"), "C:\\data.d\\orders.ldb");
}

TEST(ReplaceAtomicallyOnWindows, ReplacesAFileInANonLatinFolderAndLeavesNothingBehind) {
  TempFolder folder;
  const std::string inner = folder.file("") + "\xCE\x94\xCE\xB5\xCE\xB4\xCE\xBF\xCE\xBC\xCE\xAD\xCE\xBD\xCE\xB1";
  ASSERT_TRUE(std::filesystem::create_directory(utf8_path(inner)));
  const std::string path = inner + "\\data.mdb";
  create_atomically(path, [](File& out) { out.write_at(0, kOld); });
  replace_atomically(path, write_pages);
  EXPECT_EQ(read_all(*DiskFile::open(path, DiskFile::Mode::ReadOnly)), kNew);
  std::size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(utf8_path(inner))) {
    EXPECT_EQ(entry.path().filename(), "data.mdb");
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

// Windows renames nothing over a file that is open: a repair must let go of
// the database it read before its copy takes the database's place.
TEST(RepairOnWindows, ReplacesTheDatabaseItReadAndLeavesNothingBeside) {
  TempFolder folder;
  const std::string path = folder.file("data.mdb");
  {
    auto file = DiskFile::open(path, DiskFile::Mode::CreateNew);
    generate_database(*file, GenerateOptions{Version::Jet4, 20, 3, {}});
  }
  const MaintenanceReport report = repair(path);
  EXPECT_TRUE(report.errors.empty());
  EXPECT_EQ(DiskFile::open(path, DiskFile::Mode::ReadOnly)->size(), report.result_bytes);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"data.mdb"});
}

}  // namespace
}  // namespace jet
