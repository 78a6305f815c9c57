// The synthetic database: the same seed gives the same bytes, and every
// table reads back whole, through the engine and through mdb-export.
#include <gtest/gtest.h>

#include <string>

#include "jet/read/database.h"
#include "jet/write/generate.h"
#include "support/external_readers.h"
#include "support/shell_command.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

class Generated : public ::testing::TestWithParam<Version> {};

std::vector<std::uint8_t> generate(Version v, std::uint64_t rows, std::uint64_t seed) {
  MemoryFile file;
  generate_database(file, GenerateOptions{v, rows, seed, {}});
  return file.bytes();
}

TEST_P(Generated, SameSeedSameBytesOtherSeedOtherBytes) {
  const auto first = generate(GetParam(), 150, 7);
  EXPECT_EQ(first, generate(GetParam(), 150, 7));
  EXPECT_NE(first, generate(GetParam(), 150, 8));
}

TEST_P(Generated, EveryTableReadsBackWithItsRows) {
  MemoryFile file(generate(GetParam(), 400, 3));
  Database db(file);
  for (const char* name : {"Customers", "Orders", "Events"}) {
    Table table = db.table(name);
    EXPECT_EQ(table.rows().size(), 400u) << name;
    EXPECT_EQ(table.def().row_count, 400u) << name;
  }
}

TEST_P(Generated, MdbExportReadsEveryRow) {
  if (!testing::have_mdbtools()) GTEST_SKIP() << "mdb-export (mdbtools) is not installed";
  testing::TempFolder folder;
  const std::string path = folder.file("generated.mdb");
  testing::write_file_bytes(path, generate(GetParam(), 250, 5));
  for (const char* name : {"Customers", "Orders", "Events"}) {
    const testing::ShellResult count =
        testing::run_shell("mdb-export -b hex " + testing::shell_quoted(path) + " " + name + " | wc -l");
    ASSERT_EQ(count.status, 0) << name;
    // A header line, then one line a row (no generated text holds a newline).
    EXPECT_EQ(std::stoul(count.out), 251u) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, Generated, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& info) { return std::string(to_string(info.param)); });

}  // namespace
}  // namespace jet
