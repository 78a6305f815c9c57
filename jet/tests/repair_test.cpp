#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "jet/database.h"
#include "jet/maintenance.h"
#include "jet/value.h"
#include "support/corpus.h"
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
    const auto before = user_rows(path);
    const Version version = read_version(path);

    repair(path);

    EXPECT_EQ(read_version(path), version);
    EXPECT_EQ(user_rows(path), before);
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

}  // namespace
}  // namespace jet
