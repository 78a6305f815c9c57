// The synthetic database: the same seed gives the same bytes, and every
// table reads back whole, through the engine and through mdb-export.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "jet/database.h"
#include "jet/generate.h"
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
  if (std::system("command -v mdb-export >/dev/null 2>&1") != 0) GTEST_SKIP() << "mdb-export (mdbtools) is not installed";
  testing::TempFolder folder;
  const std::string path = folder.file("generated.mdb");
  testing::write_file_bytes(path, generate(GetParam(), 250, 5));
  for (const char* name : {"Customers", "Orders", "Events"}) {
    FILE* pipe = ::popen(("mdb-export -b hex '" + path + "' " + name + " | wc -l").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[64] = {};
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    ::pclose(pipe);
    // A header line, then one line a row (no generated text holds a newline).
    EXPECT_EQ(std::stoul(line), 251u) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, Generated, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& info) { return std::string(to_string(info.param)); });

}  // namespace
}  // namespace jet
