// Writing what salvage keeps: a sound database written through salvage must
// come out whole, every object and value of every table (system tables
// included) as it was, ids remapped, and read cleanly by our verifier and
// by the two independent readers.
#include <gtest/gtest.h>

#include <string>

#include "jet/compact_error_table.h"
#include "jet/database.h"
#include "jet/salvage.h"
#include "jet/salvage_writer.h"
#include "jet/verify.h"
#include "support/corpus.h"
#include "support/database_content.h"
#include "support/oracle_readers.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

TEST(SalvageWriter, SoundSamplesComeOutWholeAndReadEverywhere) {
  const auto samples = testing::corpus_files();
  if (samples.empty()) GTEST_SKIP() << "the sample databases are absent";
  for (const std::string& sample : samples) {
    SCOPED_TRACE(sample);
    testing::TempFolder folder;
    const std::string path = folder.file("salvaged.mdb");
    std::vector<CompactErrorEntry> errors;
    {
      const auto input = PosixFile::open(sample, PosixFile::Mode::ReadOnly);
      const Salvage salvage(*input);
      errors = salvage.database().errors;
      const auto out = PosixFile::open(path, PosixFile::Mode::CreateNew);
      write_salvaged_database(salvage, errors, *out);
    }
    for (const CompactErrorEntry& error : errors) ADD_FAILURE() << error.table << ": " << error.description;

    const FindingList findings = verify(path);
    EXPECT_TRUE(findings.clean()) << format_report(findings);
    const auto before = testing::database_content(sample);
    const auto after = testing::database_content(path);
    EXPECT_EQ(after, before);
    EXPECT_EQ(after.count(kCompactErrorTableName), 0u) << "nothing was lost, so there is no error table";

    // Both readers read every table they read in the original, row for row.
    const auto expect_same = [](const char* reader, const testing::OracleRead& read, const testing::OracleRead& sound) {
      for (const auto& [table, error] : read.errors) {
        if (!sound.errors.count(table)) ADD_FAILURE() << reader << " " << table << ": " << error;
      }
      EXPECT_EQ(read.rows, sound.rows) << reader;
    };
    if (testing::have_mdbtools()) {
      expect_same("mdb-export", testing::read_with_mdb_export(path), testing::read_with_mdb_export(sample));
    }
    if (testing::have_mdb_reader()) {
      expect_same("mdb-reader", testing::read_with_mdb_reader(path), testing::read_with_mdb_reader(sample));
    }
  }
}

}  // namespace
}  // namespace jet
