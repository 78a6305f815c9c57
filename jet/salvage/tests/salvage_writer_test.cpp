// Writing what salvage keeps: a sound database written through salvage must
// come out whole, every object and value of every table (system tables
// included) as it was, ids remapped, and read cleanly by our verifier and
// by the two independent readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "jet/format/catalog_definition.h"
#include "jet/format/compact_error_table.h"
#include "jet/format/table_def.h"
#include "jet/read/database.h"
#include "jet/read/index_walk.h"
#include "jet/salvage/salvage.h"
#include "jet/salvage/salvage_writer.h"
#include "jet/verify/verify.h"
#include "jet/write/generate.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"
#include "support/corpus.h"
#include "support/damage.h"
#include "support/database_content.h"
#include "support/new_header.h"
#include "support/oracle_readers.h"
#include "support/snapshot.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

// What salvage keeps of `input`, written out; `errors` gets its report.
MemoryFile salvaged(const File& input, std::vector<CompactErrorEntry>& errors) {
  const Salvage salvage(input);
  errors = salvage.database().errors;
  MemoryFile out;
  write_salvaged_database(salvage, errors, out);
  return out;
}

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
    // Rows are written in primary-key order, as compaction writes them.
    for (const auto& [name, table] : testing::take_snapshot(path).tables) {
      EXPECT_TRUE(table.rows_in_primary_key_order) << name;
    }

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

// A damaged table definition whose fixed columns overlap: the rows decode by
// it, but a value read from bytes two columns claim may be either's. Such
// columns keep their definitions and lose their values (an AutoNumber is
// numbered afresh), indexes that promise unique or present keys on them go,
// and everything else comes through into a database that verifies clean.
struct OverlapCase {
  const char* name;
  std::function<void(TableDef&)> damage;
  std::set<std::string> emptied;  // columns whose values are not kept
  std::set<std::string> dropped;  // columns the written table lacks
  std::set<std::string> indexes;  // logical indexes the written table keeps
};

// The encoder refuses a column number or variable slot of 0xFFFF, which no
// row can have: a damage sets this instead, and it is stored as 0xFFFF.
// (A column count of 0xFFFF would have each row carry 8 KiB of null bitmap.)
constexpr std::uint16_t kStoredAsPastARow = 0x7A7A;

ColumnDef& column(TableDef& def, const char* name) {
  for (ColumnDef& c : def.columns) {
    if (c.name == name) return c;
  }
  throw std::logic_error(std::string("no column ") + name);
}

std::vector<OverlapCase> overlap_cases() {
  return {
      {"offset moved into the next column",
       [](TableDef& def) { column(def, "Qty").fixed_offset = column(def, "Price").fixed_offset + 4; },
       {"Qty", "Price"}, {}, {"PrimaryKey", "ByCode", "ByQty"}},
      {"type grown over the next column",
       [](TableDef& def) { column(def, "Id").type = ColumnType::Double; },
       {"Id", "Qty"}, {}, {"ByCode", "ByQty"}},
      {"two columns at one offset, one in a unique index",
       [](TableDef& def) { column(def, "Code").fixed_offset = column(def, "Qty").fixed_offset; },
       {"Code", "Qty"}, {}, {"PrimaryKey", "ByQty"}},
      {"a variable column flagged fixed",
       [](TableDef& def) {
         ColumnDef& note = column(def, "Note");
         note.flags |= column_flags::FixedLength;
         note.fixed_offset = column(def, "Price").fixed_offset;
         note.length = 8;
       },
       {"Price", "Note"}, {}, {"PrimaryKey", "ByCode", "ByQty"}},
      {"a column flagged fixed larger than a row",
       [](TableDef& def) {
         ColumnDef& note = column(def, "Note");
         note.flags |= column_flags::FixedLength;
         note.fixed_offset = 0;
         note.length = 4070;
       },
       {"Id", "Qty", "Price", "Code"}, {"Note"}, {"ByQty"}},
      {"two variable columns sharing a slot",
       [](TableDef& def) { column(def, "Tag").variable_index = column(def, "Note").variable_index; },
       {"Note", "Tag"}, {}, {"PrimaryKey", "ByCode", "ByQty"}},
      {"a variable slot no row has",
       [](TableDef& def) { column(def, "Tag").variable_index = kStoredAsPastARow; },
       {"Tag"}, {}, {"PrimaryKey", "ByCode", "ByQty"}},
      {"a column number no row has",
       [](TableDef& def) { column(def, "Tag").number = kStoredAsPastARow; },
       {}, {"Tag"}, {"PrimaryKey", "ByCode", "ByQty"}},
      {"a column count no row has",
       [](TableDef& def) { def.max_columns = kStoredAsPastARow; },
       {}, {}, {"PrimaryKey", "ByCode", "ByQty"}},
  };
}

constexpr std::int32_t kOrderRows = 40;

const char* const kOrderColumns[] = {"Id", "Qty", "Price", "Code", "Note", "Tag"};

// Writes Orders (Id AutoNumber primary key, Qty, Price, Code unique, Note,
// Tag) and rewrites its definition damaged, in place.
std::vector<std::uint8_t> orders_with_damaged_definition(Version version, const OverlapCase& damage) {
  MemoryFile file;
  NewDatabase db(file, testing::new_header(version));
  NewColumn id{"Id", ColumnType::Long};
  id.autonumber = true;
  const TableDef def = lay_out_table(version, 1252, 1033,
                                     {id,
                                      {"Qty", ColumnType::Long},
                                      {"Price", ColumnType::Double},
                                      {"Code", ColumnType::Integer},
                                      {"Note", ColumnType::Text, 40},
                                      {"Tag", ColumnType::Text, 10}},
                                     {{"PrimaryKey", {{"Id"}}, true, true},
                                      {"ByCode", {{"Code"}}, true},
                                      {"ByQty", {{"Qty"}}}});
  TableWriter& table = db.begin_table("Orders", def);
  for (std::int32_t n = 1; n <= kOrderRows; ++n) {
    table.add_row(std::vector<Value>{{ColumnType::Long, n},
                                     {ColumnType::Long, n * 7 % 11},
                                     {ColumnType::Double, n * 1.25},
                                     {ColumnType::Integer, static_cast<std::int16_t>(1000 + n)},
                                     {ColumnType::Text, "order " + std::to_string(n)},
                                     {ColumnType::Text, "t" + std::to_string(n % 3)}});
  }
  TableDef written = db.finish_table(table);
  db.finish();

  std::vector<std::uint8_t> image = file.bytes();
  damage.damage(written);
  std::vector<std::uint8_t> encoded = encode_table_def(written);
  for (std::size_t i = 0; i + 1 < encoded.size(); ++i) {
    if (load_u16(&encoded[i]) == kStoredAsPastARow) store_u16(&encoded[i], 0xFFFF);
  }
  const auto pages = paginate_table_def(version, encoded, written.pages);
  const std::size_t size = page_size(version);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    std::copy(pages[i].begin(), pages[i].end(), image.begin() + static_cast<std::ptrdiff_t>(written.pages[i] * size));
  }
  return image;
}

// The names of the objects that the rows of `table` name by id (column
// `column`), "#id" for an id the catalog does not hold, counted.
std::multiset<std::string> named_objects(const Database& db, const std::string& table, const std::string& column) {
  std::map<std::int32_t, std::string> names;
  for (const CatalogObject& object : db.catalog().objects()) names[object.id] = object.name;
  std::multiset<std::string> out;
  const Table rows = db.table(table);
  const auto& columns = rows.columns();
  const auto at = std::find_if(columns.begin(), columns.end(), [&](const ColumnDef& c) { return c.name == column; });
  if (at == columns.end()) throw std::runtime_error(table + " has no column " + column);
  rows.scan([&](RowPointer, std::vector<Value>& values) {
    const auto* id = std::get_if<std::int32_t>(&values[static_cast<std::size_t>(at - columns.begin())].data);
    if (id == nullptr) return;
    const auto name = names.find(*id);
    out.insert(name == names.end() ? "#" + std::to_string(*id) : name->second);
  });
  return out;
}

// Rows that name an object by id follow the tables salvage moves, and go
// with a table it loses, each of those listed in the report; rows that name
// an object the catalog no longer held stay as they were.
TEST(SalvageWriter, RowsNamingTablesByIdFollowThemOrGoWithThem) {
  const std::string path = std::string(JET_CORPUS_DIR) + "/jet4/v2003-test.mdb";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "sample database not found at " << path;
  const testing::Image intact = testing::load_image(path);
  const MemoryFile source(intact);
  const Database before(source);
  const CatalogObject* lost = before.catalog().find_table("Table3");
  ASSERT_NE(lost, nullptr);
  testing::Image damaged = intact;
  const std::size_t size = page_size(before.version());
  std::fill_n(damaged.begin() + static_cast<std::ptrdiff_t>(lost->table_page() * size), size, std::uint8_t{0});

  std::vector<CompactErrorEntry> errors;
  const MemoryFile out = salvaged(MemoryFile(damaged), errors);
  const Database after(out);
  ASSERT_EQ(after.catalog().find_table("Table3"), nullptr);

  struct Reference {
    const char* table;
    const char* column;
    const char* entry;  // as the report names a row that went
  };
  for (const Reference& reference : {Reference{"MSysACEs", "ObjectId", "An access entry"},
                                     Reference{"MSysNavPaneObjectIDs", "Id", "A navigation pane entry"},
                                     Reference{"MSysNavPaneGroupToObjects", "ObjectID", "A navigation pane entry"}}) {
    SCOPED_TRACE(reference.table);
    std::multiset<std::string> expected = named_objects(before, reference.table, reference.column);
    const std::size_t gone = expected.erase("Table3");
    EXPECT_EQ(named_objects(after, reference.table, reference.column), expected);
    const std::string said = std::string(reference.entry) + " for the object with id " + std::to_string(lost->id);
    EXPECT_EQ(std::count_if(errors.begin(), errors.end(),
                            [&](const CompactErrorEntry& e) {
                              return e.table == reference.table && e.description.find(said) != std::string::npos;
                            }),
              static_cast<std::ptrdiff_t>(gone));
  }
}

TEST(SalvageWriter, OverlappingFixedColumnsLoseTheirValuesAndNothingElse) {
  for (const Version version : {Version::Jet3, Version::Jet4}) {
    for (const OverlapCase& damage : overlap_cases()) {
      SCOPED_TRACE(std::string(damage.name) + (version == Version::Jet3 ? ", Jet 3" : ", Jet 4"));
      std::vector<CompactErrorEntry> errors;
      const MemoryFile out = salvaged(MemoryFile(orders_with_damaged_definition(version, damage)), errors);
      std::string losses = "losses:";
      for (const CompactErrorEntry& e : errors) losses += "\n  " + e.table + ": " + e.description;
      SCOPED_TRACE(losses);

      const FindingList findings = verify(out);
      EXPECT_TRUE(findings.clean()) << format_report(findings);
      const Database db(out);
      const Table table = db.table("Orders");
      std::set<std::string> columns, indexes;
      for (const ColumnDef& c : table.def().columns) columns.insert(c.name);
      for (const LogicalIndexDef& index : table.def().logical_indexes) indexes.insert(index.name);
      for (const std::string& name : damage.dropped) EXPECT_EQ(columns.count(name), 0u) << name;
      EXPECT_EQ(columns.size(), std::size(kOrderColumns) - damage.dropped.size());
      EXPECT_EQ(indexes, damage.indexes);

      std::multiset<std::string> rows;
      std::set<std::string> renumbered;
      table.scan([&](RowPointer, std::vector<Value>& values) {
        std::string row;
        for (std::size_t i = 0; i < values.size(); ++i) {
          const ColumnDef& c = table.columns()[i];
          if (!damage.emptied.count(c.name)) {
            row += c.name + "=" + canonical_text(values[i]) + " ";
          } else if (c.is_autonumber() && c.type == ColumnType::Long) {
            renumbered.insert(canonical_text(values[i]));
          } else {
            EXPECT_TRUE(values[i].is_null()) << c.name << " kept " << canonical_text(values[i]);
          }
        }
        rows.insert(row);
      });
      if (!renumbered.empty()) {
        EXPECT_EQ(renumbered.size(), static_cast<std::size_t>(kOrderRows));
      }
      // Every row, with every trusted value as written.
      std::multiset<std::string> expected;
      for (std::int32_t n = 1; n <= kOrderRows; ++n) {
        const std::map<std::string, std::string> cells{{"Id", std::to_string(n)},
                                                       {"Qty", std::to_string(n * 7 % 11)},
                                                       {"Price", canonical_text({ColumnType::Double, n * 1.25})},
                                                       {"Code", std::to_string(1000 + n)},
                                                       {"Note", "order " + std::to_string(n)},
                                                       {"Tag", "t" + std::to_string(n % 3)}};
        std::string row;
        for (const char* name : kOrderColumns) {
          if (!damage.emptied.count(name) && !damage.dropped.count(name)) row += std::string(name) + "=" + cells.at(name) + " ";
        }
        expected.insert(row);
      }
      EXPECT_EQ(rows, expected);

      // Each column that lost its values is named in the error table.
      for (const std::string& name : damage.emptied) {
        EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [&](const CompactErrorEntry& e) {
          return e.code == static_cast<std::int32_t>(SalvageCode::ColumnValuesDropped) &&
                 e.description.find("(" + name + ")") != std::string::npos;
        })) << name;
      }
    }
  }
}

// Rows come out in the order of the table's primary key, as compaction
// writes them, whatever order they had in the damaged file.
struct KeyOrderCase {
  const char* name;
  std::vector<NewColumn> columns;
  std::vector<NewIndex> indexes;
  std::vector<std::vector<Value>> rows;  // as the file holds them
  std::vector<std::string> expected;     // each row's values joined by '|', in the written order
};

Value number(std::int32_t n) { return {ColumnType::Long, n}; }
Value text(const char* t) { return {ColumnType::Text, std::string(t)}; }

std::vector<KeyOrderCase> key_order_cases() {
  return {
      {"a number key stored backwards",
       {{"Id", ColumnType::Long}, {"Name", ColumnType::Text, 20}},
       {{"PrimaryKey", {{"Id"}}, true, true}},
       {{number(30), text("c")}, {number(-4), text("a")}, {number(12), text("b")}, {number(7), text("d")}},
       {"-4|a", "7|d", "12|b", "30|c"}},
      {"a descending text key, letters compared without case",
       {{"Name", ColumnType::Text, 20}},
       {{"PrimaryKey", {{"Name", false}}, true, true}},
       {{text("b")}, {text("D")}, {text("a")}, {text("C")}},
       {"D", "C", "b", "a"}},
      {"a key of two columns",
       {{"Group", ColumnType::Long}, {"Id", ColumnType::Long}},
       {{"PrimaryKey", {{"Group"}, {"Id"}}, true, true}},
       {{number(2), number(1)}, {number(1), number(2)}, {number(1), number(1)}},
       {"1|1", "1|2", "2|1"}},
      {"no primary key: file order",
       {{"Id", ColumnType::Long}},
       {{"ById", {{"Id"}}, true}},
       {{number(3)}, {number(1)}, {number(2)}},
       {"3", "1", "2"}},
  };
}

TEST(SalvageWriter, WritesRowsInPrimaryKeyOrder) {
  for (const Version version : {Version::Jet3, Version::Jet4}) {
    for (const KeyOrderCase& c : key_order_cases()) {
      SCOPED_TRACE(std::string(c.name) + (version == Version::Jet3 ? ", Jet 3" : ", Jet 4"));
      MemoryFile file;
      {
        NewDatabase db(file, testing::new_header(version));
        TableWriter& table = db.begin_table("Keyed", lay_out_table(version, 1252, 1033, c.columns, c.indexes));
        for (const auto& row : c.rows) table.add_row(row);
        db.finish_table(table);
        db.finish();
      }
      std::vector<CompactErrorEntry> errors;
      const MemoryFile out = salvaged(file, errors);
      EXPECT_TRUE(errors.empty()) << errors.front().description;

      std::vector<std::string> written;
      Database(out).table("Keyed").scan([&](RowPointer, std::vector<Value>& values) {
        std::string row;
        for (const Value& value : values) row += (row.empty() ? "" : "|") + canonical_text(value);
        written.push_back(row);
      });
      EXPECT_EQ(written, c.expected);
    }
  }
}

// A database of one table, Words (N, Word), a row a word numbered from 1,
// and when asked an index ByWord on Word.
MemoryFile words_database(Version version, const std::vector<std::string>& words, std::uint16_t code_page = 1252,
                          bool indexed = false) {
  MemoryFile file;
  Header header = testing::new_header(version);
  header.code_page = code_page;
  NewDatabase db(file, header);
  std::vector<NewIndex> indexes;
  if (indexed) indexes.push_back({"ByWord", {{"Word"}}});
  TableWriter& table = db.begin_table(
      "Words", lay_out_table(version, code_page, 1033, {{"N", ColumnType::Long}, {"Word", ColumnType::Text, 20}}, indexes));
  for (std::size_t i = 0; i < words.size(); ++i) {
    table.add_row(std::vector<Value>{number(static_cast<std::int32_t>(i + 1)), text(words[i].c_str())});
  }
  db.finish_table(table);
  db.finish();
  return file;
}

// A Jet 4 text index over Greek, Cyrillic, CJK and kana, with a combining
// mark and an unprintable character among them: the index comes through
// salvage whole, and every reader reads the copy.
TEST(SalvageWriter, KeepsAJet4TextIndexBeyondLatin1) {
  const std::vector<std::string> words = {"\u03a9\u03bc\u03ad\u03b3\u03b1", "\u0416\u0438\u0437\u043d\u044c",
                                          "\u4e2d\u6587", "\u3072\u3089\u304c\u306a", "e\u0301-x", "plain"};
  const MemoryFile file = words_database(Version::Jet4, words, 1252, true);
  testing::TempFolder folder;
  const std::string path = folder.file("salvaged.mdb");
  {
    const Salvage salvage(file);
    std::vector<CompactErrorEntry> errors = salvage.database().errors;
    const auto out = PosixFile::open(path, PosixFile::Mode::CreateNew);
    write_salvaged_database(salvage, errors, *out);
    for (const CompactErrorEntry& error : errors) ADD_FAILURE() << error.code << " " << error.table << ": " << error.description;
  }

  const auto out = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  const Database db(*out);
  const Table table = db.table("Words");
  ASSERT_EQ(table.def().real_indexes.size(), 1u);
  const RealIndexDef& index = table.def().real_indexes[0];
  EXPECT_EQ(read_index(db.version(), table.def().page, index.first_page, db.page_count(), db.page_source()).size(),
            words.size());
  std::vector<std::string> read;
  for (const std::vector<Value>& row : table.rows()) read.push_back(canonical_text(row.at(1)));
  EXPECT_EQ(read, words);
  const FindingList findings = verify(path);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
  if (testing::have_mdbtools()) {
    testing::OracleRead oracle = testing::read_with_mdb_export(path);
    EXPECT_TRUE(oracle.errors.empty()) << ::testing::PrintToString(oracle.errors);
    EXPECT_EQ(oracle.rows["Words"], words.size());
  }
  if (testing::have_mdb_reader()) {
    testing::OracleRead oracle = testing::read_with_mdb_reader(path);
    EXPECT_TRUE(oracle.errors.empty()) << ::testing::PrintToString(oracle.errors);
    EXPECT_EQ(oracle.rows["Words"], words.size());
  }
}

// A database whose sort order no engine here knows, with its catalog's
// definition lost: the catalog rebuilt in that sort order loses the index it
// cannot key, rather than carry one that misses rows, and that is recorded
// in the error table the written database carries.
TEST(SalvageWriter, DropsAndRecordsACatalogIndexItCannotKey) {
  MemoryFile file;
  {
    NewDatabase db(file, testing::new_header(Version::Jet4));
    TableWriter& table = db.begin_table("Numbers", lay_out_table(Version::Jet4, 1252, 1033, {{"N", ColumnType::Long}}, {}));
    table.add_row(std::vector<Value>{number(1)});
    db.finish_table(table);
    db.finish();
  }
  testing::Image image = file.bytes();
  Header header = decode_header(image);
  header.sort_order = 0xCBAE;
  write_header(header, MutableBytes(image.data(), page_size(Version::Jet4)));
  image = testing::with_noise_page(image, kCatalogPage, 7, true);

  std::vector<CompactErrorEntry> errors;
  const MemoryFile out = salvaged(MemoryFile(image), errors);

  const Database db(out);
  std::vector<std::string> recorded;
  db.table(kCompactErrorTableName).scan([&](RowPointer, std::vector<Value>& values) {
    std::string row;
    for (const Value& value : values) row += canonical_text(value) + "|";
    recorded.push_back(row);
  });
  EXPECT_TRUE(std::any_of(recorded.begin(), recorded.end(), [](const std::string& row) {
    return row.find("1019|") == 0 && row.find("|MSysObjects|") != std::string::npos;
  })) << ::testing::PrintToString(recorded);
  const FindingList findings = verify(out);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
  for (const RealIndexDef& index : db.catalog_def().real_indexes) {
    for (const IndexColumn& column : index.columns) {
      const auto text = std::find_if(db.catalog_def().columns.begin(), db.catalog_def().columns.end(),
                                     [&](const ColumnDef& c) { return c.number == column.column_number; });
      EXPECT_NE(text->type, ColumnType::Text) << "index " << index.number << " keys text it cannot encode";
    }
  }
}

// A Jet 3 text is written back with the bytes it was read with, those its
// code page's table leaves undefined included. Only what the code page truly
// cannot hold (a double-byte character cut short) becomes '?': the row
// stays, and the report says so.
TEST(SalvageWriter, KeepsEveryByteOfAJet3TextAndMarksOnlyWhatCannotBeWritten) {
  struct Case {
    std::uint16_t code_page;
    std::size_t at;  // in "zqxwv"
    std::uint8_t byte;
    const char* salvaged;
    bool reported;
  };
  for (const Case& c : {Case{1252, 2, 0x81, "zq\u0081wv", false}, Case{1253, 2, 0xAA, "zq\uF8F9wv", false},
                        Case{932, 4, 0x82, "zqxw?", true}}) {
    SCOPED_TRACE(c.code_page);
    const MemoryFile file = words_database(Version::Jet3, {"zqxwv", "plain"}, c.code_page);
    testing::Image image = file.bytes();
    const std::string word = "zqxwv";
    const auto at = std::search(image.begin(), image.end(), word.begin(), word.end());
    ASSERT_NE(at, image.end());
    at[c.at] = c.byte;

    std::vector<CompactErrorEntry> errors;
    const MemoryFile out = salvaged(MemoryFile(image), errors);
    std::set<std::string> rows;
    Database(out).table("Words").scan([&](RowPointer, std::vector<Value>& values) {
      rows.insert(canonical_text(values[0]) + "|" + canonical_text(values[1]));
    });
    EXPECT_EQ(rows, (std::set<std::string>{std::string("1|") + c.salvaged, "2|plain"}));
    if (!c.reported) {
      EXPECT_TRUE(errors.empty()) << errors.front().description;
      const std::vector<std::uint8_t> written = out.bytes();
      EXPECT_NE(std::search(written.begin(), written.end(), at - c.at, at - c.at + 5), written.end());
      continue;
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].code, 1017);
    EXPECT_EQ(errors[0].table, "Words");
    EXPECT_NE(errors[0].description.find("written as '?'"), std::string::npos) << errors[0].description;
  }
}

// Writes def over its one-page definition in a Jet 3 image.
void rewrite_definition(testing::Image& image, const TableDef& def) {
  ASSERT_EQ(table_def_page_count(def), 1u);
  const auto pages = paginate_table_def(Version::Jet3, encode_table_def(def), std::vector<std::uint32_t>{def.page});
  std::copy(pages[0].begin(), pages[0].end(), image.begin() + static_cast<std::ptrdiff_t>(def.page * 2048));
}

// An index whose definition lost its key columns would hold entries of
// nothing but row pointers: salvage drops it and keeps the rows.
TEST(SalvageWriter, DropsAnIndexWithoutKeyColumns) {
  const MemoryFile file = words_database(Version::Jet3, {"b", "a", "c"}, 1252, true);
  testing::Image image = file.bytes();
  TableDef def = Database(file).table("Words").def();
  ASSERT_EQ(def.real_indexes.size(), 1u);
  def.real_indexes[0].columns.clear();
  rewrite_definition(image, def);

  std::vector<CompactErrorEntry> errors;
  const MemoryFile out = salvaged(MemoryFile(image), errors);
  const Database db(out);
  EXPECT_TRUE(db.table("Words").def().real_indexes.empty());
  EXPECT_EQ(db.table("Words").rows().size(), 3u);
  EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [](const CompactErrorEntry& e) {
    return e.table == "Words" && e.description.find("has no key column") != std::string::npos;
  }));
  const FindingList findings = verify(out);
  EXPECT_TRUE(findings.clean()) << format_report(findings);
}

// A Jet 3 text column whose code page no converter knows (a damaged
// definition, of a table or of the catalog itself) keeps its values, read in
// the database's code page, and the copy reads everywhere.
TEST(SalvageWriter, ReadsAColumnWhoseCodePageIsUnknownInTheDatabases) {
  for (const std::string damaged : {"Words", "MSysObjects"}) {
    SCOPED_TRACE(damaged);
    const MemoryFile file = words_database(Version::Jet3, {"Größe"});
    testing::Image image = file.bytes();
    {
      const Database db(file);
      TableDef def = damaged == "Words" ? db.table("Words").def() : db.catalog_def();
      ASSERT_EQ(table_def_page_count(def), 1u);
      for (ColumnDef& column : def.columns) {
        if (column.type == ColumnType::Text) column.code_page = 1064;  // no such code page
      }
      rewrite_definition(image, def);
    }

    std::vector<CompactErrorEntry> errors;
    const MemoryFile out = salvaged(MemoryFile(image), errors);
    std::vector<std::string> rows;
    Database(out).table("Words").scan([&](RowPointer, std::vector<Value>& values) {
      rows.push_back(canonical_text(values[0]) + "|" + canonical_text(values[1]));
    });
    EXPECT_EQ(rows, std::vector<std::string>{"1|Größe"});
    ASSERT_FALSE(errors.empty());
    for (const CompactErrorEntry& error : errors) {
      EXPECT_EQ(error.code, 1018) << error.description;
      EXPECT_EQ(error.table, damaged);
      EXPECT_NE(error.description.find("code page 1064"), std::string::npos) << error.description;
    }
    const FindingList findings = verify(out);
    EXPECT_TRUE(findings.clean()) << format_report(findings);
  }
}

// The error table's texts quote what the damaged file held: what the table's
// text cannot hold (a character the code page lacks, what a cut-off
// character decoded to, a name cut inside a character) becomes '?', and the rest of
// the salvage is written.
TEST(SalvageWriter, WritesReportTextsTheirTableCannotHoldWithQuestionMarks) {
  const std::string description = "Name a\uFFFDb \u0416";  // U+FFFD: what a cut-off character decodes to
  for (const Version version : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(to_string(version));
    MemoryFile file;
    generate_database(file, GenerateOptions{version, 3, 1, {}});
    const Salvage salvage(file);
    std::vector<CompactErrorEntry> errors = salvage.database().errors;
    errors.push_back(CompactErrorEntry{1011, description, 7, "T\xC3"});  // a name cut inside a character
    MemoryFile out;
    write_salvaged_database(salvage, errors, out);
    const Database db(out);
    std::vector<std::string> rows;
    db.table(kCompactErrorTableName).scan([&](RowPointer, std::vector<Value>& values) {
      rows.push_back(std::get<std::string>(values.at(1).data) + "|" + std::get<std::string>(values.at(3).data));
    });
    const std::string expected = (version == Version::Jet3 ? std::string("Name a?b ?") : description) + "|T?";
    EXPECT_EQ(rows, std::vector<std::string>{expected});
    EXPECT_EQ(db.table("Customers").rows().size(), 3u);
  }
}

}  // namespace
}  // namespace jet
