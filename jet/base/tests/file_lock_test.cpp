#include "jet/base/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "jet/base/error.h"
#include "support/locking_child.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::LockingChild;
using testing::TempFolder;
using testing::write_file_bytes;

TEST(LockFilePath, ReplacesTheExtensionOnly) {
  struct Row {
    const char* database;
    const char* lock;
  } rows[] = {
      {"/data/shop.mdb", "/data/shop.ldb"},
      {"/data/shop.MDB", "/data/shop.ldb"},
      {"/data/v1.2/shop", "/data/v1.2/shop.ldb"},
      {"/data/.hidden", "/data/.hidden.ldb"},
      {"shop.tar.mdb", "shop.tar.ldb"},
  };
  for (const auto& row : rows) EXPECT_EQ(lock_file_path(row.database), row.lock) << row.database;
}

TEST(EnsureNotInUse, RefusesADatabaseThatAnotherProcessHoldsLocked) {
  struct Row {
    const char* name;
    bool lock_the_lock_file;
    std::int64_t start;
    std::int64_t length;
    bool ofd;
  } rows[] = {
      {"lock file, first byte", true, 0, 1, false},
      {"lock file, a user slot far in", true, 64 * 32, 32, false},
      {"database, commit range beyond its end", false, 0x10000000, 1, false},
      {"database, whole file", false, 0, 0, false},
      {"database, descriptor lock", false, 0x7fffff00, 16, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    std::string database = folder.file("orders.mdb");
    write_file_bytes(database, std::vector<std::uint8_t>(4096, 0));
    write_file_bytes(folder.file("orders.ldb"), std::vector<std::uint8_t>(64, 0));
    EXPECT_NO_THROW(ensure_not_in_use(database));
    {
      LockingChild child(row.lock_the_lock_file ? folder.file("orders.ldb") : database, row.start, row.length,
                         row.ofd);
      ASSERT_TRUE(child.locked());
      try {
        ensure_not_in_use(database);
        ADD_FAILURE() << "a locked database was not refused";
      } catch (const Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::FileInUse);
        EXPECT_EQ(e.message(), "Could not use '" + database + "'; file already in use.");
      }
    }
    EXPECT_NO_THROW(ensure_not_in_use(database)) << "locks end with the process that held them";
  }
}

TEST(EnsureNotInUse, AcceptsALockFileThatNobodyHolds) {
  TempFolder folder;
  std::string database = folder.file("orders.mdb");
  write_file_bytes(database, std::vector<std::uint8_t>(4096, 0));
  write_file_bytes(folder.file("orders.ldb"), std::vector<std::uint8_t>(64, 1));
  EXPECT_NO_THROW(ensure_not_in_use(database));
  EXPECT_FALSE(has_foreign_locks(folder.file("missing.mdb")));
}

// A lock file goes only when nobody holds a lock anywhere in it.
TEST(RemoveStaleLockFile, RemovesOnlyALockFileThatNobodyHolds) {
  struct Row {
    const char* name;
    bool present;
    std::optional<std::int64_t> held_at;  // another process holds a lock from here
    bool ofd;
    bool removed;
  } rows[] = {
      {"left by a crashed program", true, std::nullopt, false, true},
      {"absent", false, std::nullopt, false, false},
      {"held at the first byte", true, 0, false, false},
      {"held at a user slot far in", true, 64 * 32, false, false},
      {"held through a descriptor lock", true, 64 * 4, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    const std::string database = folder.file("orders.mdb");
    write_file_bytes(database, std::vector<std::uint8_t>(4096, 0));
    if (row.present) write_file_bytes(folder.file("orders.ldb"), std::vector<std::uint8_t>(64 * 64, 0));
    std::optional<LockingChild> holder;
    if (row.held_at) {
      holder.emplace(folder.file("orders.ldb"), *row.held_at, 1, row.ofd);
      ASSERT_TRUE(holder->locked());
    }
    EXPECT_EQ(remove_stale_lock_file(database), row.removed);
    EXPECT_EQ(std::filesystem::exists(folder.file("orders.ldb")), row.present && !row.removed);
    EXPECT_TRUE(std::filesystem::exists(database));
    if (holder) {
      EXPECT_TRUE(has_foreign_locks(folder.file("orders.ldb"))) << "the holder lost its lock";
    }
  }
}

}  // namespace
}  // namespace jet
