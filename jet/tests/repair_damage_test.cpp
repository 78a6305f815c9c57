// Repair and compaction of a damaged database, one class of damage at a
// time (support/damage_cases.h): both succeed, their output verifies with no
// finding above info, every row the damage left intact is there value for
// value, and every table that lost rows is named in MSysCompactError. The
// repaired file must also read whole through mdbtools and mdb-reader; those
// run on the generated sources and on one sample of each format only, since
// each costs a few processes a case.
//
// A table that a reader already fails on in the sound file is not held
// against the repair.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "jet/base/ascii.h"
#include "jet/maintenance.h"
#include "jet/read/database.h"
#include "jet/verify/verify.h"
#include "support/damage_cases.h"
#include "support/external_readers.h"
#include "support/temp_folder.h"

namespace jet::testing {
namespace {

// What a repaired or compacted file holds.
struct Output {
  std::map<std::string, RowTexts> rows;  // by table name
  std::set<std::string> error_tables;    // ErrorTable of every MSysCompactError row
};

Output read_output(const std::string& path) {
  Output out;
  auto db = Database::open(path);
  for (const CatalogObject& object : db->tables(true)) {
    Table table = db->table(object);
    auto& rows = out.rows[table.name()];
    table.scan([&](RowPointer, std::vector<Value>& values) { rows.insert(row_cells(table.columns(), values)); });
    if (table.name() != "MSysCompactError") continue;
    std::size_t at = 0;
    while (at < table.columns().size() && table.columns()[at].name != "ErrorTable") ++at;
    for (const auto& row : table.rows()) {
      if (at < row.size()) {
        if (const auto* name = std::get_if<std::string>(&row[at].data)) out.error_tables.insert(*name);
      }
    }
  }
  return out;
}

void expect_no_new_failures(const std::set<std::string>& sound, const std::set<std::string>& repaired) {
  for (const std::string& failure : repaired) EXPECT_TRUE(sound.count(failure)) << failure;
}

// The samples the external readers also check the repair of.
bool source_name_is_sampled(const std::string& name) {
  return name == "jet3/v1997-overflowTest.mdb" || name == "jet4/v2000-overflowTest.mdb";
}

class RepairDamage : public ::testing::TestWithParam<DamageCase> {
 protected:
  void SetUp() override {
    const Image* sound = damage_source_image(std::get<0>(GetParam()));
    if (sound == nullptr) GTEST_SKIP() << "sample database " << source() << " is absent";
    damaged_ = damage().apply(*sound, damage_case_seed(GetParam()));
    if (!damaged_) GTEST_SKIP() << source() << " holds nothing that " << damage().name << " damages";
    census_ = take_census(*sound, damaged_->ranges);
    damaged_path_ = folder_.file("damaged.mdb");
    write_file_bytes(damaged_path_, damaged_->image);
  }

  const std::string& source() const { return damage_source_name(std::get<0>(GetParam())); }
  const DamageClass& damage() const { return damage_classes()[std::get<1>(GetParam())]; }

  // The checks every output must pass.
  void check_output(const std::string& path, const std::string& what) {
    SCOPED_TRACE(what);
    FindingList findings = verify(path);
    EXPECT_TRUE(findings.clean()) << format_report(findings);
    Output out;
    try {
      out = read_output(path);
    } catch (const Error& e) {
      FAIL() << "the engine cannot read the output: " << e.what();
    }
    for (const auto& [page, intact] : census_.intact) {
      std::string name = census_.names.at(page);
      // System tables hold object ids, which compaction rewrites.
      if (name.rfind("MSys", 0) == 0) continue;
      // A table that lost its catalog row comes back under its name, perhaps
      // in other case, or as Recovered_<page>.
      if (!out.rows.count(name)) {
        const auto same = std::find_if(out.rows.begin(), out.rows.end(),
                                       [&](const auto& table) { return same_name(table.first, name); });
        name = same != out.rows.end() ? same->first : "Recovered_" + std::to_string(page);
      }
      const RowTexts& kept = out.rows[name];
      RowTexts missing = missing_from(intact, kept);
      EXPECT_TRUE(missing.empty()) << name << " lost " << missing.size() << " of its " << intact.size()
                                   << " intact rows, such as " << sample_of(missing);
      if (kept.size() < census_.all.at(page).size()) {
        bool reported = out.error_tables.count(name) || out.error_tables.count(census_.names.at(page)) ||
                        out.error_tables.count("MSysObjects");
        EXPECT_TRUE(reported) << name << " lost " << census_.all.at(page).size() - kept.size()
                              << " rows that MSysCompactError does not mention";
      }
    }
  }

  TempFolder folder_;
  std::optional<DamagedImage> damaged_;
  RowCensus census_;
  std::string damaged_path_;
};

TEST_P(RepairDamage, CompactionIntoANewFileKeepsEveryIntactRow) {
  std::string compacted = folder_.file("compacted.mdb");
  try {
    compact(damaged_path_, compacted);
  } catch (const Error& e) {
    FAIL() << "compaction failed: " << e.what();
  }
  check_output(compacted, "compacted");
}

TEST_P(RepairDamage, RepairInPlaceKeepsEveryIntactRowAndReadsEverywhere) {
  try {
    repair(damaged_path_);
  } catch (const Error& e) {
    FAIL() << "repair failed: " << e.what();
  }
  check_output(damaged_path_, "repaired");
  std::size_t source = std::get<0>(GetParam());
  bool external = damage_source_generated(source) || source_name_is_sampled(damage_source_name(source));
  if (!external) return;
  // A table a reader already fails on in the sound file (mdb-reader has no
  // decoder for some column types of Access's own system tables) is the
  // reader's limit, not the repair's.
  std::string sound_path = folder_.file("sound.mdb");
  write_file_bytes(sound_path, *damage_source_image(source));
  if (have_mdbtools()) expect_no_new_failures(mdbtools_failures(sound_path), mdbtools_failures(damaged_path_));
  if (have_mdb_reader()) expect_no_new_failures(mdb_reader_failures(sound_path), mdb_reader_failures(damaged_path_));
}

INSTANTIATE_TEST_SUITE_P(ClassBySource, RepairDamage, all_damage_cases(), damage_case_name);

}  // namespace
}  // namespace jet::testing
