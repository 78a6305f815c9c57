// Salvage against each class of damage, one at a time, over sample
// databases of both formats and over generated ones (so that the suite runs
// without the samples): salvage never fails on a damaged file, keeps every
// row the damage left intact value for value (support/intact_rows.h), and
// reports every table that lost rows. Each case is one class on one source
// with a seed of its own, so a failure replays alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "jet/generate.h"
#include "jet/salvage.h"
#include "support/damage_classes.h"
#include "support/intact_rows.h"

namespace jet::testing {
namespace {

struct Source {
  std::string name;
  std::function<std::optional<Image>()> load;
};

Image generated(Version version) {
  MemoryFile file;
  generate_database(file, GenerateOptions{version, 120, 11, {}});
  return file.bytes();
}

std::optional<Image> sample(const std::string& name) {
  std::string path = std::string(JET_CORPUS_DIR) + "/" + name;
  if (!std::filesystem::exists(path)) return std::nullopt;
  return load_image(path);
}

// Sample files holding between them every structure: long values inline,
// in one row and chained, overflow rows, deleted rows, many data pages and
// multi-level indexes.
const std::vector<Source>& sources() {
  static const std::vector<Source> all = [] {
    std::vector<Source> list{
        {"generated_jet3", [] { return std::optional(generated(Version::Jet3)); }},
        {"generated_jet4", [] { return std::optional(generated(Version::Jet4)); }},
    };
    for (const char* name : {"jet3/v1997-overflowTest.mdb", "jet3/v1997-indexTest.mdb", "jet3/v1997-delTest.mdb",
                             "jet3/v1997-test.mdb", "jet4/v2000-overflowTest.mdb", "jet4/v2000-compIndexTest.mdb",
                             "jet4/v2000-delTest.mdb", "jet4/v2003-test.mdb"}) {
      std::string text = name;
      list.push_back({text, [text] { return sample(text); }});
    }
    return list;
  }();
  return all;
}

// Sources load once for all their cases.
const Image* source_image(std::size_t index) {
  static std::map<std::size_t, std::optional<Image>> loaded;
  auto found = loaded.find(index);
  if (found == loaded.end()) found = loaded.emplace(index, sources()[index].load()).first;
  return found->second ? &*found->second : nullptr;
}

using Kept = std::map<std::uint32_t, RowTexts>;

// A cell of a value kept only in part: "name=value" where the value is a
// prefix of the sound one, or null.
bool cut_from(const std::string& kept, const std::string& sound) {
  auto name_end = kept.find('=');
  if (kept.compare(0, name_end + 1, sound, 0, name_end + 1) != 0) return false;
  return kept.substr(name_end + 1) == "null" || sound.compare(0, kept.size(), kept) == 0;
}

// Whether a row salvage kept with cut long values is a sound row with those
// values cut.
bool is_cut_from_any(const RowCells& kept, const RowTexts& sound) {
  return std::any_of(sound.begin(), sound.end(), [&](const RowCells& row) {
    if (row.size() != kept.size()) return false;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (row[i] != kept[i] && !cut_from(kept[i], row[i])) return false;
    }
    return true;
  });
}

RowTexts missing_from(const RowTexts& wanted, const RowTexts& have) {
  RowTexts missing;
  std::set_difference(wanted.begin(), wanted.end(), have.begin(), have.end(), std::inserter(missing, missing.end()));
  return missing;
}

// A row's text short enough for a failure message.
std::string sample_of(const RowTexts& rows) {
  if (rows.empty()) return "";
  std::string first = row_text(*rows.begin());
  return first.size() <= 160 ? first : first.substr(0, 160) + "...";
}

bool mentions(const std::vector<CompactErrorEntry>& errors, const std::string& table) {
  return std::any_of(errors.begin(), errors.end(), [&](const auto& e) { return e.table == table; });
}

class SalvageDamage : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {
 protected:
  const Source& source() const { return sources()[std::get<0>(GetParam())]; }
  const DamageClass& damage() const { return damage_classes()[std::get<1>(GetParam())]; }
  std::uint64_t seed() const { return 1000 * std::get<0>(GetParam()) + std::get<1>(GetParam()) + 1; }
};

TEST_P(SalvageDamage, KeepsEveryIntactRowAndReportsEveryLoss) {
  const Image* sound = source_image(std::get<0>(GetParam()));
  if (sound == nullptr) GTEST_SKIP() << "sample database " << source().name << " is absent";
  auto damaged = damage().apply(*sound, seed());
  if (!damaged) GTEST_SKIP() << source().name << " holds nothing that " << damage().name << " damages";
  const RowCensus census = take_census(*sound, damaged->ranges);

  MemoryFile file(damaged->image);
  std::unique_ptr<Salvage> salvage;
  Kept kept;
  Kept kept_cut;  // rows with a long value kept only in part
  std::map<std::uint32_t, std::string> kept_names;
  try {
    salvage = std::make_unique<Salvage>(file);
    for (const SalvagedTable& table : salvage->database().tables) {
      kept_names[table.def.page] = table.name;
      auto& rows = kept[table.def.page];
      auto& cut = kept_cut[table.def.page];
      salvage->for_each_row(table, [&](ProvedRow&& row) {
        (row.cuts.empty() ? rows : cut).insert(row_cells(table.def.columns, row.values));
      });
    }
  } catch (const Error& e) {
    FAIL() << "salvage failed: " << e.what();
  }
  const auto& errors = salvage->database().errors;

  for (const auto& [page, intact] : census.intact) {
    const std::string& name = census.names.at(page);
    RowTexts missing = missing_from(intact, kept[page]);
    std::size_t kept_rows = kept[page].size() + kept_cut[page].size();
    EXPECT_TRUE(missing.empty()) << name << " lost " << missing.size() << " of its " << intact.size()
                                 << " intact rows, such as " << sample_of(missing);
    const RowTexts& all = census.all.at(page);
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

std::string case_name(const ::testing::TestParamInfo<std::tuple<std::size_t, std::size_t>>& info) {
  std::string name = sources()[std::get<0>(info.param)].name + "_" + damage_classes()[std::get<1>(info.param)].name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(ClassBySource, SalvageDamage,
                         ::testing::Combine(::testing::Range<std::size_t>(0, sources().size()),
                                            ::testing::Range<std::size_t>(0, damage_classes().size())),
                         case_name);

}  // namespace
}  // namespace jet::testing
