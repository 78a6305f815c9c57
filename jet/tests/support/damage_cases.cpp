#include "support/corpus.h"
#include "support/damage_cases.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>

#include "jet/base/file.h"
#include "jet/write/generate.h"

namespace jet::testing {

namespace {

struct Source {
  std::string name;
  bool generated = false;
  std::function<std::optional<Image>()> load;
};

Image generated(Version version) {
  MemoryFile file;
  generate_database(file, GenerateOptions{version, 120, 11, {}});
  return file.bytes();
}

std::optional<Image> sample(const std::string& name) {
  std::string path = corpus_file(name);
  if (!std::filesystem::exists(path)) return std::nullopt;
  return load_image(path);
}

const std::vector<Source>& sources() {
  static const std::vector<Source> all = [] {
    std::vector<Source> list{
        {"generated_jet3", true, [] { return std::optional(generated(Version::Jet3)); }},
        {"generated_jet4", true, [] { return std::optional(generated(Version::Jet4)); }},
    };
    for (const char* name : {"jet3/v1997-overflowTest.mdb", "jet3/v1997-indexTest.mdb", "jet3/v1997-delTest.mdb",
                             "jet3/v1997-test.mdb", "jet4/v2000-overflowTest.mdb", "jet4/v2000-compIndexTest.mdb",
                             "jet4/v2000-delTest.mdb", "jet4/v2003-test.mdb"}) {
      std::string text = name;
      list.push_back({text, false, [text] { return sample(text); }});
    }
    return list;
  }();
  return all;
}

// A kept cell of a value cut short: "name=value" with the value a prefix of
// the sound one, or null.
bool cut_from(const std::string& kept, const std::string& sound) {
  auto name_end = kept.find('=');
  if (name_end == std::string::npos || kept.compare(0, name_end + 1, sound, 0, name_end + 1) != 0) return false;
  return kept.substr(name_end + 1) == "null" || sound.compare(0, kept.size(), kept) == 0;
}

}  // namespace

std::size_t damage_source_count() { return sources().size(); }
const std::string& damage_source_name(std::size_t source) { return sources()[source].name; }
bool damage_source_generated(std::size_t source) { return sources()[source].generated; }

const Image* damage_source_image(std::size_t source) {
  static std::map<std::size_t, std::optional<Image>> loaded;
  auto found = loaded.find(source);
  if (found == loaded.end()) found = loaded.emplace(source, sources()[source].load()).first;
  return found->second ? &*found->second : nullptr;
}

std::uint64_t damage_case_seed(const DamageCase& c) { return 1000 * std::get<0>(c) + std::get<1>(c) + 1; }

std::string damage_case_name(const ::testing::TestParamInfo<DamageCase>& info) {
  std::string name = damage_source_name(std::get<0>(info.param)) + "_" + damage_classes()[std::get<1>(info.param)].name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

RowTexts missing_from(const RowTexts& wanted, const RowTexts& have) {
  RowTexts missing;
  std::set_difference(wanted.begin(), wanted.end(), have.begin(), have.end(), std::inserter(missing, missing.end()));
  return missing;
}

std::string sample_of(const RowTexts& rows) {
  if (rows.empty()) return "";
  std::string first = row_text(*rows.begin());
  return first.size() <= 160 ? first : first.substr(0, 160) + "...";
}

bool is_cut_from_any(const RowCells& kept, const RowTexts& sound) {
  return std::any_of(sound.begin(), sound.end(), [&](const RowCells& row) {
    if (row.size() != kept.size()) return false;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (row[i] != kept[i] && !cut_from(kept[i], row[i])) return false;
    }
    return true;
  });
}

}  // namespace jet::testing
