// Salvage of a catalog whose rows are lost: every table comes back under its
// own name, from whatever source survives, the system tables as system
// tables, and no table that was deleted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iterator>
#include <set>
#include <map>
#include <string>

#include "jet/base/ascii.h"
#include "jet/base/text.h"
#include "jet/format/catalog_index_keys.h"
#include "jet/format/compact_error_table.h"
#include "jet/read/database.h"
#include "jet/salvage/salvage.h"
#include "jet/salvage/salvage_catalog.h"
#include "jet/salvage/salvage_writer.h"
#include "jet/write/generate.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"
#include "support/corpus.h"
#include "support/damage.h"
#include "support/database_content.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

// A Text key column of `text`, read back: the capitals the key keeps.
struct KeyCase {
  const char* text;
  TextSortOrder order;
  bool ascending;
  std::optional<std::string> read;  // nothing: the key cannot be read back
};

TEST(CatalogIndexKeys, TextKeysReadBackInCapitals) {
  const KeyCase cases[] = {
      {"Table1", TextSortOrder::GeneralLegacy, true, "TABLE1"},
      {"Table1", TextSortOrder::General97, true, "TABLE1"},
      {"Orders detail_2", TextSortOrder::GeneralLegacy, true, "ORDERS DETAIL_2"},
      {"Orders detail_2", TextSortOrder::General97, true, "ORDERS DETAIL_2"},
      {"Préférences", TextSortOrder::GeneralLegacy, true, "PRÉFÉRENCES"},
      {"Ålesund", TextSortOrder::General97, true, "ÅLESUND"},
      {"Strasse", TextSortOrder::GeneralLegacy, true, "STRASSE"},
      {"MSysAccessObjects", TextSortOrder::General97, true, "MSYSACCESSOBJECTS"},
      {"MSysAccessObjects", TextSortOrder::GeneralLegacy, false, "MSYSACCESSOBJECTS"},
      {"Öl", TextSortOrder::General97, false, "ÖL"},
      {"Lohn & Gehalt (2003)", TextSortOrder::GeneralLegacy, true, "LOHN & GEHALT (2003)"},
      {"tab\x01name", TextSortOrder::GeneralLegacy, true, std::nullopt},  // unprintable: not read back
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.text);
    const std::vector<std::uint8_t> utf16 = utf8_to_utf16le(c.text);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) text.push_back(static_cast<char16_t>(utf16[i] | utf16[i + 1] << 8));
    std::vector<std::uint8_t> key;
    append_key_column(key, KeyColumn{ColumnType::Long, true}, Bytes(std::vector<std::uint8_t>{7, 0, 0, 15}));
    append_key_column(key, KeyColumn{ColumnType::Text, c.ascending, c.order}, std::u16string_view(text));
    std::size_t at = 0;
    EXPECT_EQ(decode_long_key(key, at), 0x0F000007);
    EXPECT_EQ(decode_last_text_key(key, at, c.order), c.read);
    // A key cut short is no text key.
    key.pop_back();
    EXPECT_EQ(decode_last_text_key(key, at, c.order), std::nullopt);
  }
}

// What salvage of `image` writes, at path; `errors` gets the report.
void salvage_to(const testing::Image& image, const std::string& path, std::vector<CompactErrorEntry>& errors) {
  const MemoryFile input(image);
  const Salvage salvage(input);
  errors = salvage.database().errors;
  const auto out = PosixFile::open(path, PosixFile::Mode::CreateNew);
  write_salvaged_database(salvage, errors, *out);
}

// Every table, by name: its flags. Names in lower case unless asked for as
// they are.
std::map<std::string, std::uint32_t> tables_of(const std::string& path, bool exact_case = false) {
  std::map<std::string, std::uint32_t> tables;
  for (const CatalogObject& object : Database::open(path)->tables(true)) {
    if (object.name != kCompactErrorTableName) tables[exact_case ? object.name : name_key(object.name)] = object.flags;
  }
  return tables;
}

// Rows as text, lower case (names of a table whose case no source gave
// may differ in case only), by table; with only_system, user tables' rows
// all under "". MSysObjects and MSysACEs are left out: the catalog's rows
// are what was lost, and the access entries of objects whose rows cannot
// be rebuilt go with them.
std::map<std::string, std::multiset<std::string>> comparable_content(const std::string& path, bool only_system) {
  std::map<std::string, std::multiset<std::string>> content;
  for (auto& [table, rows] : testing::database_content(path)) {
    std::string name = name_key(table);
    if (name == "msysobjects" || name == "msysaces" || name == name_key(kCompactErrorTableName)) continue;
    // The navigation pane's entries name objects by id, and the rows of
    // objects other than tables (forms, documents) cannot be rebuilt: only
    // their number is compared.
    if (name == "msysnavpaneobjectids" || name == "msysnavpanegrouptoobjects") {
      content[name].insert(std::to_string(rows.size()) + " rows");
      continue;
    }
    if (only_system && name.rfind("msys", 0) != 0) name.clear();
    for (const std::string& row : rows) content[name].insert(name_key(row));
  }
  return content;
}

constexpr std::uint8_t kDataPage = 0x01;
constexpr std::uint8_t kIndexPages[] = {0x03, 0x04};

struct CatalogDamage {
  const char* name;
  std::function<testing::Image(const testing::Image&)> apply;
  bool names_kept;   // every table's name comes back (else the system tables' only)
  bool exact_case;   // with its case
};

std::vector<CatalogDamage> catalog_damages() {
  using namespace testing;
  return {
      {"every catalog data page zeroed",
       [](const Image& image) { return with_zeroed_pages(image, catalog_pages(image, kDataPage)); }, true, false},
      {"the catalog's rows all deleted, its indexes zeroed",
       [](const Image& image) {
         Image moved = with_catalog_rows_deleted(image);
         for (std::uint8_t type : kIndexPages) moved = with_zeroed_pages(moved, catalog_pages(moved, type));
         return moved;
       },
       true, true},
      {"catalog data and index pages zeroed",
       [](const Image& image) {
         Image damaged = with_zeroed_pages(image, catalog_pages(image, kDataPage));
         for (std::uint8_t type : kIndexPages) damaged = with_zeroed_pages(damaged, catalog_pages(damaged, type));
         return damaged;
       },
       false, false},
  };
}

// The sources: every corpus file, and a generated database of each format
// so that the proof runs without the corpus too.
std::vector<std::pair<std::string, testing::Image>> catalog_sources() {
  std::vector<std::pair<std::string, testing::Image>> sources;
  for (const Version version : {Version::Jet3, Version::Jet4}) {
    MemoryFile file;
    GenerateOptions options;
    options.version = version;
    options.rows = 40;
    generate_database(file, options);
    sources.emplace_back(version == Version::Jet3 ? "generated Jet 3" : "generated Jet 4", file.bytes());
  }
  for (const std::string& sample : testing::corpus_files()) sources.emplace_back(sample, testing::load_image(sample));
  return sources;
}

// Sources x damage to their catalog: every table that existed comes back
// with all its rows, under its own name where a source gives it, the
// system tables as system tables, no table that was deleted, and one line
// of the report for each table found from its definition.
TEST(CatalogSalvage, EveryTableComesBackWithAllItsRowsAndItsOwnName) {
  for (const auto& [source, sound] : catalog_sources()) {
    testing::TempFolder folder;
    const std::string sample = folder.file("sound.mdb");
    testing::write_file_bytes(sample, sound);
    for (const CatalogDamage& damage : catalog_damages()) {
      SCOPED_TRACE(source + ": " + damage.name);
      const std::string path = folder.file(std::string(damage.name) + ".mdb");
      std::vector<CompactErrorEntry> errors;
      salvage_to(damage.apply(sound), path, errors);

      const auto tables = tables_of(path, damage.exact_case);
      auto expected = tables_of(sample, damage.exact_case);
      if (!damage.names_kept) {
        // User tables come back under names of their own, as many as there were.
        std::erase_if(expected, [](const auto& table) { return name_key(table.first).rfind("msys", 0) != 0; });
        EXPECT_EQ(tables.size(), tables_of(sample).size());
        for (const auto& [name, flags] : expected) EXPECT_EQ(tables.count(name) ? tables.at(name) : 0xDEAD, flags) << name;
      } else {
        EXPECT_EQ(tables, expected);
      }
      const auto rows = comparable_content(path, !damage.names_kept);
      for (const auto& [table, expected_rows] : comparable_content(sample, !damage.names_kept)) {
        const auto kept = rows.find(table);
        if (kept == rows.end()) {
          ADD_FAILURE() << table << " is lost";
          continue;
        }
        std::vector<std::string> lost, gained;
        std::set_difference(expected_rows.begin(), expected_rows.end(), kept->second.begin(), kept->second.end(),
                            std::back_inserter(lost));
        std::set_difference(kept->second.begin(), kept->second.end(), expected_rows.begin(), expected_rows.end(),
                            std::back_inserter(gained));
        EXPECT_TRUE(lost.empty() && gained.empty())
            << table << " lost " << lost.size() << " rows, such as " << (lost.empty() ? "" : lost.front()) << ", and gained "
            << gained.size() << ", such as " << (gained.empty() ? "" : gained.front());
      }
      for (const auto& [name, flags] : tables) {
        if (name == "MSysObjects" || name == "msysobjects") continue;
        const auto lines = std::count_if(errors.begin(), errors.end(), [&](const CompactErrorEntry& e) {
          return name_key(e.table) == name_key(name) &&
                 (e.code == 1004 || (e.code >= 1020 && e.code <= 1025 && e.code != 1024));
        });
        EXPECT_EQ(lines, 1) << name;
      }
    }
  }
}

}  // namespace
}  // namespace jet
