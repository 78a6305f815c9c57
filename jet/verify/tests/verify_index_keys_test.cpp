// The verifier sets each index entry's key against the key its row has: an
// index whose entries point at the right rows but carry wrong keys, or that
// misses a row, is damaged, and repair rebuilds it from the rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jet/format/data_page.h"
#include "jet/format/index_page.h"
#include "jet/format/index_row_key.h"
#include "jet/format/row.h"
#include "jet/maintenance.h"
#include "jet/read/database.h"
#include "jet/read/index_walk.h"
#include "jet/verify/verify.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"
#include "support/damage.h"
#include "support/new_header.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

using testing::Image;

constexpr std::uint16_t kGeneral = 1033;
constexpr std::uint16_t kSwedish = 1053;  // a sort order without known codes
constexpr std::int32_t kRows = 30;

// The indexes of the sample table, in declaration order (real index n is
// logical index n).
enum Indexed : std::size_t { kText, kNumber, kDescending, kTwoColumns, kIndexCount };
const char* const kIndexNames[] = {"Text", "Number", "Descending", "TwoColumns"};

// Every name holds an 'm', which a damage turns into an 'n'.
std::string name_of(std::int32_t i) { return std::string("item") + static_cast<char>('a' + i % 26) + std::to_string(i); }

// A table "Items" with a text index that ignores nulls (one row has a null
// name, which it leaves out), a unique numeric one, a descending one and one
// over two columns.
Image build(Version version) {
  MemoryFile file;
  NewDatabase db(file, testing::new_header(version));
  const TableDef def = lay_out_table(
      version, 1252, kGeneral,
      {{"Number", ColumnType::Long}, {"Name", ColumnType::Text, 50}, {"Price", ColumnType::Long}},
      {{"ByName", {{"Name"}}, false, false, true},
       {"ByNumber", {{"Number"}}, true},
       {"ByPriceDown", {{"Price", false}}},
       {"ByPriceName", {{"Price"}, {"Name"}}}});
  TableWriter& table = db.begin_table("Items", def);
  for (std::int32_t i = 0; i < kRows; ++i) {
    const std::vector<Value> row = {Value{ColumnType::Long, i},
                                    i == 7 ? Value::null(ColumnType::Text) : Value{ColumnType::Text, name_of(i)},
                                    Value{ColumnType::Long, 1000 - 3 * i}};
    table.add_row(row);
  }
  db.finish_table(table);
  db.finish();
  return file.bytes();
}

struct Sample {
  Image image;
  Version version;
  TableDef def;
  std::size_t page_size() const { return jet::page_size(version); }
  std::uint8_t* page(std::uint32_t n) { return image.data() + n * page_size(); }
  Bytes page_bytes(std::uint32_t n) const { return Bytes(image.data() + n * page_size(), page_size()); }
};

Sample sample(Version version) {
  Sample s{build(version), version, {}};
  MemoryFile file(s.image);
  const Database db(file);
  s.def = db.table("Items").def();
  return s;
}

// The root of a small index, which is its only leaf.
std::uint32_t leaf_of(const Sample& s, Indexed which) {
  const std::uint32_t root = s.def.real_indexes.at(which).first_page;
  EXPECT_EQ(s.page_bytes(root)[0], 0x04) << "the sample's index is one leaf";
  return root;
}

IndexPage decoded_leaf(const Sample& s, std::uint32_t leaf) {
  return decode_index_page(s.version, leaf, s.page_bytes(leaf));
}

void store_leaf(Sample& s, std::uint32_t leaf, const IndexPage& page) {
  const std::vector<std::uint8_t> bytes = encode_index_page(s.version, page);
  std::copy(bytes.begin(), bytes.end(), s.page(leaf));
}

// Changes one byte of the stored value of `column` in the row `at`: an 'm'
// of a text becomes an 'n', a number's low byte changes. The row still
// decodes.
void change_row_value(Sample& s, RowPointer at, const std::string& column) {
  const DataPage header = decode_data_page(s.page_bytes(at.page), s.version, at.page);
  const Bytes row = row_bytes(s.page_bytes(at.page), header, at.row, s.version, at.page);
  const RowLayout layout = decode_row_layout(row, s.version, s.def.variable_column_count > 0, at.page);
  const ColumnDef& def = *std::find_if(s.def.columns.begin(), s.def.columns.end(),
                                       [&](const ColumnDef& c) { return c.name == column; });
  const Bytes stored = column_bytes(layout, row, def, at.page).bytes;
  ASSERT_FALSE(stored.empty());
  std::uint8_t* first = s.image.data() + (stored.data() - s.image.data());
  if (def.is_text()) {
    std::uint8_t* m = std::find(first, first + stored.size(), 'm');
    ASSERT_NE(m, first + stored.size());
    *m = 'n';
  } else {
    *first ^= 0x01;
  }
}

// One way to damage an index; returns the row the verifier must name and the
// page it must name it on.
struct Damaged {
  RowPointer row;
  std::uint32_t page;
};
using Damage = Damaged (*)(Sample&, Indexed);

// The entry the damages pick: a row in the middle, never the null name.
constexpr std::size_t kPicked = 12;

const struct DamageCase {
  const char* name;
  Damage damage;
} kDamages[] = {
    {"KeyByteFlipped",
     [](Sample& s, Indexed which) {
       const std::uint32_t leaf = leaf_of(s, which);
       IndexPage page = decoded_leaf(s, leaf);
       IndexEntry& entry = page.entries.at(kPicked);
       entry.key.back() ^= 0x01;
       store_leaf(s, leaf, page);
       return Damaged{entry.row, leaf};
     }},
    {"KeysSwapped",
     [](Sample& s, Indexed which) {
       const std::uint32_t leaf = leaf_of(s, which);
       IndexPage page = decoded_leaf(s, leaf);
       std::swap(page.entries.at(kPicked).key, page.entries.at(kPicked + 5).key);
       store_leaf(s, leaf, page);
       return Damaged{page.entries[kPicked].row, leaf};
     }},
    {"RowValueChanged",
     [](Sample& s, Indexed which) {
       const std::uint32_t leaf = leaf_of(s, which);
       const RowPointer row = decoded_leaf(s, leaf).entries.at(kPicked).row;
       const char* column = which == kNumber ? "Number" : which == kDescending ? "Price" : "Name";
       change_row_value(s, row, column);
       return Damaged{row, leaf};
     }},
    {"EntryMissing",
     [](Sample& s, Indexed which) {
       const std::uint32_t leaf = leaf_of(s, which);
       IndexPage page = decoded_leaf(s, leaf);
       const RowPointer row = page.entries.at(kPicked).row;
       page.entries.erase(page.entries.begin() + kPicked);
       store_leaf(s, leaf, page);
       return Damaged{row, s.def.real_indexes[which].first_page};
     }},
};

std::string row_text(RowPointer row) {
  return "row " + std::to_string(row.row) + " of page " + std::to_string(row.page);
}

bool names(const Finding& f, const Damaged& d, Indexed which) {
  return f.severity == Severity::Error && f.page == d.page && f.structure == "index" &&
         f.field.starts_with("index " + std::to_string(which)) && f.message.find(row_text(d.row)) != std::string::npos &&
         f.message.find("Items") != std::string::npos;
}

class IndexKeyDamage : public ::testing::TestWithParam<std::tuple<Version, Indexed, DamageCase>> {};

TEST_P(IndexKeyDamage, IsAnErrorNamingTheIndexPageAndTheRow) {
  const auto [version, which, damage] = GetParam();
  Sample s = sample(version);
  {
    MemoryFile sound(s.image);
    const FindingList findings = verify(sound);
    ASSERT_TRUE(findings.clean()) << format_report(findings);
  }
  const Damaged damaged = damage.damage(s, which);
  MemoryFile file(s.image);
  const FindingList findings = verify(file);
  EXPECT_TRUE(std::any_of(findings.items().begin(), findings.items().end(),
                          [&](const Finding& f) { return names(f, damaged, which); }))
      << "want index " << which << ", " << row_text(damaged.row) << " on page " << damaged.page << "\n"
      << format_report(findings);
  for (const Finding& f : findings.items()) {
    EXPECT_EQ(f.table, s.def.page) << format_finding(f);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, IndexKeyDamage,
    ::testing::Combine(::testing::Values(Version::Jet3, Version::Jet4),
                       ::testing::Values(kText, kNumber, kDescending, kTwoColumns), ::testing::ValuesIn(kDamages)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param) == Version::Jet3 ? "Jet3" : "Jet4") +
             kIndexNames[std::get<1>(info.param)] + std::get<2>(info.param).name;
    });

// The sample with its Name column in a sort order whose text keys this
// engine cannot encode.
Image with_unknown_sort_order(const Sample& s) {
  TableDef def = s.def;
  for (ColumnDef& column : def.columns) {
    if (column.is_text()) column.sort_order = kSwedish;
  }
  const std::vector<std::uint8_t> encoded = encode_table_def(def);
  Image image = s.image;
  const auto pages = paginate_table_def(s.version, encoded, def.pages);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    std::copy(pages[i].begin(), pages[i].end(), image.begin() + def.pages[i] * s.page_size());
  }
  return image;
}

TEST(IndexKeys, AnIndexInAnUnknownSortOrderIsNotedOnceAndNotCompared) {
  for (Version version : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(version == Version::Jet3 ? "Jet 3" : "Jet 4");
    Sample s = sample(version);
    // Even a wrong key goes unseen where no key can be computed.
    change_row_value(s, decoded_leaf(s, leaf_of(s, kText)).entries.at(kPicked).row, "Name");
    MemoryFile file(with_unknown_sort_order(s));
    const FindingList findings = verify(file);
    EXPECT_TRUE(findings.clean()) << format_report(findings);
    std::multiset<std::string> noted;
    for (const Finding& f : findings.items()) {
      if (f.message.find("not compared") != std::string::npos) noted.insert(f.field);
    }
    EXPECT_EQ(noted, (std::multiset<std::string>{"index " + std::to_string(kText) + " keys",
                                                 "index " + std::to_string(kTwoColumns) + " keys"}))
        << format_report(findings);
  }
}

// The keys of a table's rows in one index, as (key, row) pairs, from the
// rows' values alone.
std::set<std::pair<std::vector<std::uint8_t>, RowPointer>> keys_from_rows(const Database& db, const Table& table,
                                                                         const RealIndexDef& index) {
  std::set<std::pair<std::vector<std::uint8_t>, RowPointer>> keys;
  table.scan([&](RowPointer at, std::vector<Value>& values) {
    bool all_null = true;
    const auto value_of = [&](const ColumnDef& column) {
      for (std::size_t i = 0; i < table.columns().size(); ++i) {
        if (table.columns()[i].number == column.number) return values[i];
      }
      return Value::null(column.type);
    };
    for (const IndexColumn& key : index.columns) {
      all_null = all_null && value_of(*table.def().column_by_number(key.column_number)).is_null();
    }
    if (index.ignores_nulls() && all_null) return;
    keys.emplace(index_key_of_row(db.version(), table.def(), index, value_of), at);
  });
  return keys;
}

TEST(IndexKeys, CompactionRebuildsAnIndexWhoseKeysDisagreeWithItsRows) {
  Sample s = sample(Version::Jet4);
  kDamages[2].damage(s, kText);  // a name changed under its index entry
  testing::TempFolder folder;
  testing::write_file_bytes(folder.file("damaged.mdb"), s.image);
  const MaintenanceReport report = compact(folder.file("damaged.mdb"), folder.file("compacted.mdb"));

  EXPECT_TRUE(std::any_of(report.errors.begin(), report.errors.end(), [](const CompactErrorEntry& e) {
    return e.table == "Items" && e.description.find("rebuilt") != std::string::npos &&
           e.description.find("index " + std::to_string(kText)) != std::string::npos;
  }));
  const auto out = PosixFile::open(folder.file("compacted.mdb"), PosixFile::Mode::ReadOnly);
  const Database db(*out);
  const Table table = db.table("Items");
  for (const RealIndexDef& index : table.def().real_indexes) {
    std::set<std::pair<std::vector<std::uint8_t>, RowPointer>> entries;
    for (const IndexEntry& e : read_index(db.version(), table.def().page, index.first_page, db.page_count(),
                                          db.page_source())) {
      entries.emplace(e.key, e.row);
    }
    EXPECT_EQ(entries, keys_from_rows(db, table, index)) << "index " << index.number;
  }
  const FindingList findings = verify(*out);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
}

}  // namespace
}  // namespace jet
