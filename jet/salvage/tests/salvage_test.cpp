#include "jet/salvage/salvage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "jet/format/header.h"
#include "jet/read/database.h"
#include "support/corpus.h"
#include "support/damage.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::Image;

// A row as text, columns in column-number order, so that rows read by the
// strict reader and by salvage compare equal.
std::string row_text(const TableDef& def, const std::vector<Value>& values_in_file_order) {
  std::map<std::uint16_t, std::string> by_number;
  for (std::size_t i = 0; i < def.columns.size(); ++i) {
    by_number[def.columns[i].number] = def.columns[i].name + "=" + canonical_text(values_in_file_order[i]);
  }
  std::string text;
  for (const auto& [number, cell] : by_number) text += cell + "|";
  return text;
}

using TableRows = std::map<std::string, std::multiset<std::string>>;

// Every table's rows as the strict reader reads them.
TableRows strict_rows(const File& file) {
  Database db(file);
  TableRows rows;
  for (const auto& object : db.tables(true)) {
    if (object.table_page() == 2) continue;  // the catalog: salvage keeps its rows apart
    Table table = db.table(object);
    auto& set = rows[table.name()];
    table.scan([&](RowPointer, std::vector<Value>& values) {
      // scan gives column-number order; make it file order for row_text.
      std::vector<Value> file_order;
      for (const auto& column : table.def().columns) {
        for (std::size_t i = 0; i < table.columns().size(); ++i) {
          if (table.columns()[i].number == column.number) file_order.push_back(values[i]);
        }
      }
      set.insert(row_text(table.def(), file_order));
    });
  }
  return rows;
}

TableRows salvaged_rows(const Salvage& salvage) {
  TableRows rows;
  for (const auto& table : salvage.database().tables) {
    auto& set = rows[table.name];
    salvage.for_each_row(table, [&](ProvedRow&& row) { set.insert(row_text(table.def, row.values)); });
  }
  return rows;
}

bool mentions(const std::vector<CompactErrorEntry>& errors, const std::string& table) {
  return std::any_of(errors.begin(), errors.end(), [&](const auto& e) { return e.table == table; });
}

TEST(Salvage, KeepsEveryRowOfEverySoundCorpusFileAndReportsNothing) {
  auto files = testing::corpus_files();
  if (files.empty()) GTEST_SKIP() << "the sample databases are not here";
  for (const auto& path : files) {
    SCOPED_TRACE(path);
    auto file = PosixFile::open(path, PosixFile::Mode::ReadOnly);
    Salvage salvage(*file);
    for (const auto& e : salvage.database().errors) ADD_FAILURE() << e.table << ": " << e.description;
    EXPECT_EQ(salvaged_rows(salvage), strict_rows(*file));
  }
}

std::size_t page_size_of(const Image& image) { return testing::image_page_size(image); }

std::size_t first_page_of_type(const Image& image, std::uint8_t type) {
  auto pages = testing::pages_of_type(image, type);
  return pages.empty() ? 0 : pages.front();
}

Image zeroed_page(Image image, std::size_t page, std::size_t from, std::size_t to) {
  std::size_t size = page_size_of(image);
  std::fill(image.begin() + static_cast<std::ptrdiff_t>(page * size + from),
            image.begin() + static_cast<std::ptrdiff_t>(page * size + to), 0);
  return image;
}

// The definition of the first user table with an index, changed by damage
// and re-encoded, so that only the fields it touched change.
std::optional<Image> with_index_definition(const Image& image, const std::function<void(TableDef&)>& damage) {
  if (decode_header(image).database_key != 0) return std::nullopt;
  MemoryFile file(image);
  Database db(file);
  for (const auto& object : db.tables(false)) {
    TableDef def = db.table(object).def();
    if (def.logical_indexes.empty() || def.real_indexes.empty()) continue;
    damage(def);
    if (table_def_page_count(def) != def.pages.size()) continue;
    Image damaged = image;
    auto pages = paginate_table_def(def.version, encode_table_def(def), def.pages);
    for (std::size_t i = 0; i < pages.size(); ++i) {
      std::copy(pages[i].begin(), pages[i].end(),
                damaged.begin() + static_cast<std::ptrdiff_t>(def.pages[i] * page_size_of(image)));
    }
    return damaged;
  }
  return std::nullopt;
}

struct Damage {
  const char* name;
  // Whether every row must survive it.
  bool lossless;
  // Whether every row salvage keeps must be a row of the sound file: not so
  // where the damage can change a value without breaking its row (a flipped
  // bit in a number, a Memo cut short).
  bool exact;
  std::function<std::optional<Image>(const Image&)> apply;
};

std::vector<Damage> damages() {
  return {
      {"header signature", true, true, [](const Image& i) { return testing::with_u32(i, 4, 0x58585858); }},
      {"catalog definition", true, true,
       [](const Image& i) { return std::optional(testing::with_noise_page(i, 2, 11, true)); }},
      {"user table definition", false, true,
       [](const Image& i) -> std::optional<Image> {
         auto tdefs = testing::pages_of_type(i, 0x02);
         if (tdefs.size() < 2) return std::nullopt;
         return testing::with_noise_page(i, tdefs.back(), 12, true);
       }},
      {"logical index naming no real index", true, true,
       [](const Image& i) {
         return with_index_definition(i, [](TableDef& def) { def.logical_indexes.front().real_index = 0x8E8E8E00; });
       }},
      {"real index keyed on no column", true, true,
       [](const Image& i) {
         return with_index_definition(i, [](TableDef& def) { def.real_indexes.front().columns.front().column_number = 17782; });
       }},
      {"row-offset table", false, true,
       [](const Image& i) -> std::optional<Image> {
         auto page = testing::first_user_data_page(i);
         if (!page) return std::nullopt;
         std::size_t header = page_size_of(i) == 2048 ? 10 : 14;
         return testing::with_u16(i, *page * page_size_of(i) + header, 0x1FF0);
       }},
      {"row count", false, true,
       [](const Image& i) -> std::optional<Image> {
         auto page = testing::first_user_data_page(i);
         if (!page) return std::nullopt;
         std::size_t count = page_size_of(i) == 2048 ? 8 : 12;
         return testing::with_u16(i, *page * page_size_of(i) + count, 0xFFFF);
       }},
      {"data page zeroed", false, true,
       [](const Image& i) -> std::optional<Image> {
         auto page = testing::first_user_data_page(i);
         if (!page) return std::nullopt;
         return zeroed_page(i, *page, 0, page_size_of(i));
       }},
      {"data page half overwritten", false, true,
       [](const Image& i) -> std::optional<Image> {
         auto page = testing::first_user_data_page(i);
         if (!page) return std::nullopt;
         return zeroed_page(i, *page, page_size_of(i) / 2, page_size_of(i));
       }},
      {"long-value page", false, false,
       [](const Image& i) -> std::optional<Image> {
         auto pages = testing::long_value_pages(i);
         if (pages.empty()) return std::nullopt;
         return testing::with_noise_page(i, pages.front(), 13, false);
       }},
      {"index page", true, true,
       [](const Image& i) -> std::optional<Image> {
         std::size_t page = first_page_of_type(i, 0x04);
         if (page == 0) return std::nullopt;
         return testing::with_noise_page(i, page, 14, true);
       }},
      {"usage-map page", true, true,
       [](const Image& i) -> std::optional<Image> {
         std::size_t page = first_page_of_type(i, 0x05);
         if (page == 0) return std::nullopt;
         return testing::with_noise_page(i, page, 15, true);
       }},
      {"truncated at a page", false, true,
       [](const Image& i) { return std::optional(testing::truncated(i, i.size() - page_size_of(i))); }},
      {"truncated inside a page", false, true,
       [](const Image& i) { return std::optional(testing::truncated(i, i.size() - page_size_of(i) / 3)); }},
      {"scattered bit flips", false, false,
       [](const Image& i) {
         Image copy = i;
         std::uint32_t state = 2024;
         for (int k = 0; k < 24; ++k) {
           state = state * 1103515245 + 12345;
           std::size_t at = page_size_of(i) + (state >> 4) % (copy.size() - page_size_of(i));
           copy[at] ^= static_cast<std::uint8_t>(1u << (state % 8));
         }
         return std::optional(copy);
       }},
  };
}

// Salvage of each damage class over corpus files: it never fails, invents
// no row (every salvaged row is a row of the sound file: deleted rows stay
// deleted), keeps everything where the damage touched no row, and reports
// every table that lost rows.
TEST(Salvage, KeepsOnlySoundRowsAndReportsEveryLossForEachKindOfDamage) {
  const char* names[] = {"jet3/v1997-indexTest.mdb", "jet3/v1997-delTest.mdb", "jet4/v2000-compIndexTest.mdb",
                         "jet4/v2000-overflowTest.mdb", "jet4/v2000-delTest.mdb", "jet4/v2003-test.mdb"};
  if (testing::corpus_files().empty()) GTEST_SKIP() << "the sample databases are not here";
  for (const char* name : names) {
    std::string path = testing::corpus_file(name);
    Image original = testing::load_image(path);
    MemoryFile sound(original);
    TableRows truth = strict_rows(sound);
    for (const auto& damage : damages()) {
      auto image = damage.apply(original);
      if (!image) continue;
      SCOPED_TRACE(std::string(name) + ", " + damage.name);
      MemoryFile file(*image);
      std::unique_ptr<Salvage> salvage;
      ASSERT_NO_THROW(salvage = std::make_unique<Salvage>(file));
      TableRows kept = salvaged_rows(*salvage);
      const auto& errors = salvage->database().errors;
      // What is kept of a definition must be writable as a sound one.
      for (const auto& table : salvage->database().tables) {
        for (const auto& index : table.def.logical_indexes) {
          EXPECT_LT(index.real_index, table.def.real_indexes.size()) << table.name << " index " << index.number;
        }
        for (const auto& index : table.def.real_indexes) {
          for (const auto& key : index.columns) {
            EXPECT_TRUE(table.def.column_by_number(key.column_number)) << table.name << " real index " << index.number;
          }
        }
      }
      for (const auto& [table, rows] : truth) {
        auto found = kept.find(table);
        std::size_t survived = found == kept.end() ? 0 : found->second.size();
        if (found != kept.end() && damage.exact) {
          EXPECT_TRUE(std::includes(rows.begin(), rows.end(), found->second.begin(), found->second.end()))
              << table << ": salvage produced rows the sound file does not have: " << *found->second.begin() << " vs "
              << *rows.begin() << " (" << found->second.size() << " vs " << rows.size() << ")";
        }
        if (damage.lossless) {
          EXPECT_EQ(survived, rows.size()) << table;
        } else if (survived < rows.size()) {
          EXPECT_TRUE(mentions(errors, table) || found == kept.end()) << table << " lost rows silently";
        }
      }
    }
  }
}

}  // namespace
}  // namespace jet
