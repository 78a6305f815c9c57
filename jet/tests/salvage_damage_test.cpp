// Salvage against each class of damage, one at a time (support/damage_cases.h):
// it never fails on a damaged file, keeps every row the damage left intact
// value for value (support/intact_rows.h), invents no row where the damage
// only removes, and reports every table that lost rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include "jet/salvage/salvage.h"
#include "support/damage_cases.h"

namespace jet::testing {
namespace {

bool mentions(const std::vector<CompactErrorEntry>& errors, const std::string& table) {
  return std::any_of(errors.begin(), errors.end(), [&](const auto& e) { return e.table == table; });
}

class SalvageDamage : public ::testing::TestWithParam<DamageCase> {
 protected:
  const std::string& source() const { return damage_source_name(std::get<0>(GetParam())); }
  const DamageClass& damage() const { return damage_classes()[std::get<1>(GetParam())]; }
};

TEST_P(SalvageDamage, KeepsEveryIntactRowAndReportsEveryLoss) {
  const Image* sound = damage_source_image(std::get<0>(GetParam()));
  if (sound == nullptr) GTEST_SKIP() << "sample database " << source() << " is absent";
  auto damaged = damage().apply(*sound, damage_case_seed(GetParam()));
  if (!damaged) GTEST_SKIP() << source() << " holds nothing that " << damage().name << " damages";
  const RowCensus census = take_census(*sound, damaged->ranges);

  MemoryFile file(damaged->image);
  std::unique_ptr<Salvage> salvage;
  std::map<std::uint32_t, RowTexts> kept;
  std::map<std::uint32_t, RowTexts> kept_cut;  // rows with a long value kept only in part
  std::map<std::uint32_t, std::string> kept_names;
  try {
    salvage = std::make_unique<Salvage>(file);
    for (const SalvagedTable& table : salvage->database().tables) {
      kept_names[table.def.page] = table.name;
      auto& whole = kept[table.def.page];
      auto& cut = kept_cut[table.def.page];
      salvage->for_each_row(table, [&](ProvedRow&& row) {
        (row.cuts.empty() ? whole : cut).insert(row_cells(table.def.columns, row.values));
      });
    }
  } catch (const Error& e) {
    FAIL() << "salvage failed: " << e.what();
  }
  const auto& errors = salvage->database().errors;

  for (const auto& [page, intact] : census.intact) {
    const std::string& name = census.names.at(page);
    RowTexts missing = missing_from(intact, kept[page]);
    EXPECT_TRUE(missing.empty()) << name << " lost " << missing.size() << " of its " << intact.size()
                                 << " intact rows, such as " << sample_of(missing);
    const RowTexts& all = census.all.at(page);
    std::size_t kept_rows = kept[page].size() + kept_cut[page].size();
    if (kept_rows < all.size()) {
      bool reported = kept_names.count(page) ? mentions(errors, kept_names[page])
                                             : mentions(errors, name) || mentions(errors, "MSysObjects");
      EXPECT_TRUE(reported) << name << " lost " << all.size() - kept_rows << " rows silently";
    }
    if (damage().only_removes) {
      RowTexts invented = missing_from(kept[page], all);
      for (const RowCells& row : kept_cut[page]) {
        if (!is_cut_from_any(row, all)) invented.insert(row);
      }
      EXPECT_TRUE(invented.empty()) << name << " gained " << invented.size()
                                    << " rows that are no sound row (whole or with a long value cut), such as "
                                    << sample_of(invented);
    }
  }
  if (damaged->ranges.empty()) {
    for (const auto& e : errors) ADD_FAILURE() << "an undamaged file reported " << e.table << ": " << e.description;
  }
}

INSTANTIATE_TEST_SUITE_P(ClassBySource, SalvageDamage, all_damage_cases(), damage_case_name);

}  // namespace
}  // namespace jet::testing
