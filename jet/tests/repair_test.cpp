#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "jet/format/compact_error_table.h"
#include "jet/format/value.h"
#include "jet/maintenance.h"
#include "jet/read/database.h"
#include "jet/salvage/salvage_log.h"
#include "jet/verify/verify.h"
#include "jet/write/generate.h"
#include "support/corpus.h"
#include "support/database_content.h"
#include "support/damage.h"
#include "support/locking_child.h"
#include "support/oracle_readers.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::TempFolder;

// Every user table's rows as canonical text, each row one line, as a multiset:
// a repair may reorder rows but must keep every one.
std::map<std::string, std::multiset<std::string>> user_rows(const std::string& path) {
  std::map<std::string, std::multiset<std::string>> out;
  const auto db = Database::open(path);
  for (const CatalogObject& object : db->tables(false)) {
    auto& rows = out[object.name];
    db->table(object).scan([&](RowPointer, std::vector<Value>& values) {
      std::string line;
      for (const Value& value : values) line += canonical_text(value) + "\x1f";
      rows.insert(line);
    });
  }
  return out;
}

mode_t permissions(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(Repair, SoundSamplesKeepEveryRowTheirFormatAndTheirPermissions) {
  const auto samples = testing::corpus_files();
  if (samples.empty()) GTEST_SKIP() << "the sample databases are absent";
  for (const std::string& sample : samples) {
    SCOPED_TRACE(sample);
    TempFolder folder;
    const std::string path = folder.file("data.mdb");
    std::filesystem::copy_file(sample, path);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const auto content = testing::database_content(path);
    const Version version = read_version(path);

    const MaintenanceReport report = repair(path);

    EXPECT_TRUE(report.errors.empty()) << report.errors.front().description;
    EXPECT_EQ(read_version(path), version);
    EXPECT_EQ(testing::database_content(path), content);
    EXPECT_EQ(permissions(path), 0640u);
    // Nothing but the repaired file is left in the folder.
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"data.mdb"});
  }
}

TEST(Repair, RefusesWhatIsNoJetDatabaseAndLeavesItAlone) {
  TempFolder folder;
  const std::string path = folder.file("notes.mdb");
  const std::vector<std::uint8_t> bytes(3 * 4096, 0x41);
  testing::write_file_bytes(path, bytes);
  try {
    repair(path);
    FAIL() << "a file of text was repaired";
  } catch (const Error& error) {
    EXPECT_EQ(error.code(), ErrorCode::UnrecognisedFormat) << error.what();
  }
  EXPECT_EQ(testing::read_file_bytes(path), bytes);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"notes.mdb"});
}

// The rows of MSysCompactError, as (code, table) pairs.
std::multiset<std::pair<std::int32_t, std::string>> compact_errors(const std::string& path) {
  std::multiset<std::pair<std::int32_t, std::string>> out;
  const auto db = Database::open(path);
  for (const CatalogObject& object : db->tables(true)) {
    if (object.name != kCompactErrorTableName) continue;
    const Table table = db->table(object);
    for (const auto& row : table.rows()) {
      std::pair<std::int32_t, std::string> entry;
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (table.columns()[i].name == "ErrorCode") entry.first = std::get<std::int32_t>(row[i].data);
        if (table.columns()[i].name == "ErrorTable" && !row[i].is_null()) entry.second = std::get<std::string>(row[i].data);
      }
      out.insert(entry);
    }
  }
  return out;
}

// What every rewritten file must give: no finding from our verifier, and
// every table read without error by mdbtools and by mdb-reader, but for the
// tables a reader cannot read in the sound original either (mdb-reader
// knows no long-binary columns, for one).
void expect_readable_everywhere(const std::string& path, const std::string& original) {
  const FindingList findings = verify(path);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
  const auto expect_no_new_errors = [](const char* reader, const testing::OracleRead& read,
                                       const testing::OracleRead& sound) {
    for (const auto& [table, error] : read.errors) {
      if (!sound.errors.count(table)) ADD_FAILURE() << reader << " " << table << ": " << error;
    }
  };
  if (testing::have_mdbtools()) {
    expect_no_new_errors("mdb-export", testing::read_with_mdb_export(path), testing::read_with_mdb_export(original));
  }
  if (testing::have_mdb_reader()) {
    expect_no_new_errors("mdb-reader", testing::read_with_mdb_reader(path), testing::read_with_mdb_reader(original));
  }
}

using testing::Image;

struct DamageRow {
  const char* name;
  std::function<Image(const Image&)> apply;
};

// One damage class at a time, over files of both formats: the repaired file
// checks clean and reads everywhere, keeps only rows the sound file had, and
// lists its losses in MSysCompactError exactly as the report does.
TEST(Repair, RepairsEachKindOfDamageIntoAFileThatReadsEverywhere) {
  if (testing::corpus_files().empty()) GTEST_SKIP() << "the sample databases are absent";
  const auto page_size = [](const Image& i) { return testing::image_page_size(i); };
  const auto on_first_data_page = [](std::function<Image(const Image&, std::size_t)> damage) {
    return [damage](const Image& i) {
      const auto page = testing::first_user_data_page(i);
      return page ? damage(i, *page) : i;
    };
  };
  const DamageRow damages[] = {
      {"header signature", [](const Image& i) { return testing::with_u32(i, 4, 0x58585858); }},
      {"catalog definition", [](const Image& i) { return testing::with_noise_page(i, 2, 21, true); }},
      {"user data page", on_first_data_page([](const Image& i, std::size_t p) {
         return testing::with_noise_page(i, p, 22, true);
       })},
      {"row count", on_first_data_page([&](const Image& i, std::size_t p) {
         return testing::with_u16(i, p * page_size(i) + (page_size(i) == 2048 ? 8 : 12), 0xFFFF);
       })},
      {"long-value page", [](const Image& i) {
         const auto pages = testing::long_value_pages(i);
         return pages.empty() ? i : testing::with_noise_page(i, pages.front(), 23, true);
       }},
      {"index leaf", [](const Image& i) {
         const auto pages = testing::pages_of_type(i, 0x04);
         return pages.empty() ? i : testing::with_noise_page(i, pages.back(), 24, true);
       }},
      {"truncated inside a page", [&](const Image& i) { return testing::truncated(i, i.size() - page_size(i) / 2); }},
  };
  const char* names[] = {"jet3/v1997-indexTest.mdb", "jet3/v1997-overflowTest.mdb", "jet4/v2000-compIndexTest.mdb",
                         "jet4/v2003-test.mdb"};
  for (const char* name : names) {
    const std::string source = testing::corpus_file(name);
    const Image original = testing::load_image(source);
    const auto sound = user_rows(source);
    for (const DamageRow& damage : damages) {
      SCOPED_TRACE(std::string(name) + ", " + damage.name);
      TempFolder folder;
      const std::string path = folder.file("data.mdb");
      testing::write_file_bytes(path, damage.apply(original));
      MaintenanceReport report;
      ASSERT_NO_THROW(report = repair(path));
      expect_readable_everywhere(path, source);
      EXPECT_EQ(report.version, original[0x14] == 0 ? Version::Jet3 : Version::Jet4);
      for (const auto& [table, rows] : user_rows(path)) {
        const auto truth = sound.find(table);
        if (truth == sound.end()) continue;  // a table recovered under a new name
        EXPECT_TRUE(std::includes(truth->second.begin(), truth->second.end(), rows.begin(), rows.end()))
            << table << " holds rows the sound file did not";
        if (rows.size() < truth->second.size()) {
          EXPECT_TRUE(std::any_of(report.errors.begin(), report.errors.end(),
                                  [&](const CompactErrorEntry& e) { return e.table == table; }))
              << table << " lost rows silently";
        }
      }
      std::multiset<std::pair<std::int32_t, std::string>> reported;
      for (const CompactErrorEntry& e : report.errors) {
        reported.emplace(e.code, e.table);
        // Every index belongs to a table: the entry says which.
        if (e.code == static_cast<std::int32_t>(SalvageCode::IndexRebuilt)) {
          EXPECT_FALSE(e.table.empty()) << e.description;
        }
      }
      EXPECT_EQ(compact_errors(path), reported);
    }
  }
}

// A database another program holds, or one marked read-only, is refused
// before anything is written: bytes, mode and folder stay as they were.
TEST(Repair, RefusesADatabaseItMustNotChange) {
  const auto samples = testing::corpus_files();
  if (samples.empty()) GTEST_SKIP() << "the sample databases are absent";
  struct Row {
    const char* name;
    bool held;  // another process locks the lock file
    std::filesystem::perms mode;
    ErrorCode code;
    const char* why;
  };
  using std::filesystem::perms;
  const perms read_write = perms::owner_read | perms::owner_write | perms::group_read | perms::others_read;
  const perms read_only = perms::owner_read | perms::group_read | perms::others_read;
  for (const Row& row : {Row{"in use", true, read_write, ErrorCode::FileInUse, "file already in use."},
                         Row{"read-only", false, read_only, ErrorCode::ReadOnly, "file is read-only."},
                         Row{"read-only and in use", true, read_only, ErrorCode::FileInUse, "file already in use."}}) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    const std::string path = folder.file("data.mdb");
    const Image original = testing::read_file_bytes(samples.front());
    testing::write_file_bytes(path, original);
    testing::write_file_bytes(folder.file("data.ldb"), Image(64, 0));
    std::filesystem::permissions(path, row.mode);
    std::optional<testing::LockingChild> holder;
    if (row.held) {
      holder.emplace(folder.file("data.ldb"), 0, 1, false);
      ASSERT_TRUE(holder->locked());
    }
    try {
      repair(path);
      ADD_FAILURE() << "the database was repaired";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), row.code);
      EXPECT_EQ(std::string(e.what()), "Could not use '" + path + "'; " + row.why);
    }
    EXPECT_EQ(testing::read_file_bytes(path), original);
    EXPECT_EQ(std::filesystem::status(path).permissions(), row.mode);
    EXPECT_EQ(folder.entries(), (std::vector<std::string>{"data.ldb", "data.mdb"}));
  }
}

// After a repair in place, a lock file that a crashed program left is gone;
// a failed repair leaves everything as it was.
TEST(Repair, RemovesAStaleLockFileOnlyWhenTheRepairSucceeds) {
  struct Row {
    const char* name;
    bool database;   // a database, or bytes that are none
    bool lock_file;  // a lock file nobody holds lies beside it
    std::vector<std::string> left;
  } rows[] = {
      {"stale lock file", true, true, {"data.mdb"}},
      {"no lock file", true, false, {"data.mdb"}},
      {"not a database", false, true, {"data.ldb", "data.mdb"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    const std::string path = folder.file("data.mdb");
    Image image(8192, 0x5A);
    if (row.database) {
      MemoryFile generated;
      generate_database(generated, GenerateOptions{Version::Jet4, 20, 3, {}});
      image = generated.bytes();
    }
    testing::write_file_bytes(path, image);
    if (row.lock_file) testing::write_file_bytes(folder.file("data.ldb"), Image(64, 0));
    if (row.database) {
      repair(path);
    } else {
      EXPECT_THROW(repair(path), Error);
      EXPECT_EQ(testing::read_file_bytes(path), image);
    }
    EXPECT_EQ(folder.entries(), row.left);
  }
}

// A write that fails part way (here: the file-size limit reached after a few
// pages, in a child process so the limit stays there) leaves the original
// as it was and no temporary file beside it, on either path.
TEST(Repair, AWriteThatFailsPartWayLeavesTheOriginalUntouched) {
  if (testing::corpus_files().empty()) GTEST_SKIP() << "the sample databases are absent";
  const std::string source = std::string(JET_CORPUS_DIR) + "/jet4/v2003-test.mdb";
  const Image sound = testing::load_image(source);
  const Image images[] = {sound, testing::with_u32(sound, 4, 0x58585858)};
  for (const Image& image : images) {
    TempFolder folder;
    const std::string path = folder.file("data.mdb");
    testing::write_file_bytes(path, image);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{8 * 4096, 8 * 4096};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      try {
        repair(path);
      } catch (const Error& e) {
        ::_exit(e.code() == ErrorCode::Io ? 0 : 2);
      }
      ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the repair claimed success; 2: it failed with another error";
    EXPECT_EQ(testing::read_file_bytes(path), image);
    EXPECT_EQ(folder.entries(), std::vector<std::string>{"data.mdb"});
  }
}

TEST(Compact, SalvagesADamagedSourceAndLeavesTheSourceAlone) {
  if (testing::corpus_files().empty()) GTEST_SKIP() << "the sample databases are absent";
  TempFolder folder;
  const std::string source = folder.file("damaged.mdb");
  const std::string sound = std::string(JET_CORPUS_DIR) + "/jet3/v1997-test.mdb";
  const Image damaged = testing::with_noise_page(testing::load_image(sound), 2, 5, true);
  testing::write_file_bytes(source, damaged);
  const MaintenanceReport report = compact(source, folder.file("copy.mdb"));
  EXPECT_FALSE(report.errors.empty());
  EXPECT_EQ(report.version, Version::Jet3);
  EXPECT_EQ(testing::read_file_bytes(source), damaged);
  expect_readable_everywhere(folder.file("copy.mdb"), sound);
  EXPECT_EQ(compact_errors(folder.file("copy.mdb")).size(), report.errors.size());
}

TEST(Compact, RefusesWhatIsNoJetDatabaseAndWritesNothing) {
  TempFolder folder;
  const std::string source = folder.file("notes.mdb");
  testing::write_file_bytes(source, std::vector<std::uint8_t>(3 * 4096, 0x41));
  EXPECT_THROW(compact(source, folder.file("copy.mdb")), Error);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"notes.mdb"});
}

TEST(ReadVersion, TellsTheFormatOfADamagedHeaderFromItsPages) {
  for (const char* name : {"jet3/v1997-test.mdb", "jet4/v2000-test.mdb"}) {
    const std::string sample = testing::corpus_file(name);
    if (!std::filesystem::exists(sample)) GTEST_SKIP() << "the sample databases are absent";
    TempFolder folder;
    const std::string path = folder.file("data.mdb");
    testing::write_file_bytes(path, testing::with_u32(testing::load_image(sample), 4, 0));
    EXPECT_EQ(read_version(path), read_version(sample)) << name;
  }
}

// jetdb repair and jetdb compact: 0 when nothing was lost, 1 when losses were
// reported, 2 when the command was refused or failed.
TEST(JetdbRepair, ExitStatusSaysWhetherAnythingWasLost) {
  if (testing::corpus_files().empty()) GTEST_SKIP() << "the sample databases are absent";
  const Image sound = testing::load_image(std::string(JET_CORPUS_DIR) + "/jet4/v2000-test.mdb");
  struct Row {
    const char* name;
    Image image;
    bool locked;
    int status;
  };
  const Row rows[] = {
      {"sound", sound, false, 0},
      {"damaged catalog definition", testing::with_noise_page(sound, 2, 9, true), false, 1},
      {"in use", sound, true, 2},
      {"no database", Image(3 * 4096, 0x41), false, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    const std::string path = folder.file("data.mdb");
    testing::write_file_bytes(path, row.image);
    std::unique_ptr<testing::LockingChild> holder;
    if (row.locked) holder = std::make_unique<testing::LockingChild>(path, 0x10000000, 1, false);
    // Compaction first: repair rewrites the file it is given.
    for (const std::string& command : {"compact '" + path + "' '" + folder.file("copy.mdb") + "'", "repair '" + path + "'"}) {
      if (row.locked && command.rfind("compact", 0) == 0) continue;  // compaction only reads its source
      const int status = std::system((std::string(JETDB_PATH) + " " + command + " >/dev/null 2>&1").c_str());
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), row.status) << command;
    }
  }
}

}  // namespace
}  // namespace jet
