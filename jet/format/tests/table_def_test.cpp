#include "jet/format/table_def.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/raw_pages.h"
#include "support/shell_command.h"

namespace jet {
namespace {

using testing::RawDatabase;

// ---------------------------------------------------------------------------
// Against the sample databases and an independent reader.

struct SchemaColumn {
  std::string name;
  std::string type;  // as mdb-schema prints it, e.g. "Text (50)"
};
using Schema = std::map<std::string, std::vector<SchemaColumn>>;

// The user tables mdb-schema lists, or nullopt when it is not installed.
std::optional<Schema> mdb_schema(const std::string& path) {
  const std::string output = testing::run_shell("mdb-schema " + testing::shell_quoted(path) + " access 2>/dev/null").out;
  if (output.empty()) return std::nullopt;
  Schema schema;
  std::string current;
  std::size_t start = 0;
  const auto strip_suffix = [](std::string& text, std::string_view suffix) {
    if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
      text.resize(text.size() - suffix.size());
    }
  };
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    start = end + 1;
    const std::string create = "CREATE TABLE [";
    if (line.rfind(create, 0) == 0 && line.back() == ']') {
      current = line.substr(create.size(), line.size() - create.size() - 1);
      schema[current];
    } else if (!current.empty() && line.rfind("\t[", 0) == 0 && line.find(']') != std::string::npos) {
      const std::size_t close = line.find(']');
      std::string type = line.substr(line.find_first_not_of('\t', close + 1));
      strip_suffix(type, " ");
      strip_suffix(type, ",");
      strip_suffix(type, " NOT NULL");
      schema[current].push_back({line.substr(2, close - 2), type});
    } else if (line == ");") {
      current.clear();
    }
  }
  return schema;
}

// How mdb-schema names each column type; Text carries its length in
// characters, Numeric its precision and scale.
std::string schema_type(Version version, const ColumnDef& c) {
  switch (c.type) {
    case ColumnType::Boolean: return "Boolean";
    case ColumnType::Byte: return "Byte";
    case ColumnType::Integer: return "Integer";
    case ColumnType::Long: return "Long Integer";
    case ColumnType::Currency: return "Currency";
    case ColumnType::Single: return "Single";
    case ColumnType::Double: return "Double";
    case ColumnType::DateTime: return "DateTime";
    case ColumnType::Text:
      return "Text (" + std::to_string(is_jet4(version) ? c.length / 2 : c.length) + ")";
    case ColumnType::Memo: return "Memo/Hyperlink (255)";
    case ColumnType::Ole: return "OLE (255)";
    case ColumnType::Guid: return "Replication ID";
    case ColumnType::Numeric:
      return "Numeric (" + std::to_string(c.precision) + ", " + std::to_string(c.scale) + ")";
    default: return "type " + std::to_string(static_cast<int>(c.type));
  }
}

std::vector<SchemaColumn> as_schema(const TableDef& def) {
  std::vector<const ColumnDef*> columns;
  for (const ColumnDef& c : def.columns) columns.push_back(&c);
  std::sort(columns.begin(), columns.end(),
            [](const ColumnDef* a, const ColumnDef* b) { return a->number < b->number; });
  std::vector<SchemaColumn> out;
  for (const ColumnDef* c : columns) out.push_back({c->name, schema_type(def.version, *c)});
  return out;
}

bool operator==(const SchemaColumn& a, const SchemaColumn& b) { return a.name == b.name && a.type == b.type; }

TEST(TableDefCorpus, EveryUserTableOfIndependentReaderHasAMatchingDefinition) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  std::size_t compared = 0;
  for (const RawDatabase& db : databases) {
    const auto schema = mdb_schema(db.path);
    if (!schema) GTEST_SKIP() << "mdb-schema (mdbtools) is not installed";
    const std::vector<TableDef> defs = db.table_defs();
    for (const auto& [table, columns] : *schema) {
      const bool found = std::any_of(defs.begin(), defs.end(), [&, &columns = columns](const TableDef& def) {
        return def.type == TableType::User && as_schema(def) == columns;
      });
      EXPECT_TRUE(found) << db.name << ": no definition matches table " << table;
      ++compared;
    }
  }
  EXPECT_GT(compared, 20u);
}

// Row counts the corpus README lists for the files' widest user tables.
struct KnownTable {
  const char* file;
  std::uint32_t rows;
};

TEST(TableDefCorpus, RowAndColumnCountsMatchTheCorpusListing) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  const std::vector<KnownTable> known = {
      {"jet4/v2000-compIndexTest.mdb", 512},
      {"jet3/v1997-overflowTest.mdb", 7},
      {"jet4/v2000-overflowTest.mdb", 7},
      {"jet4/v2000-numeric.mdb", 1},
      {"jet3/v1997-test2.mdb", 1},
  };
  for (const KnownTable& k : known) {
    const auto db = std::find_if(databases.begin(), databases.end(),
                                 [&](const RawDatabase& d) { return d.name == k.file; });
    ASSERT_NE(db, databases.end()) << k.file;
    std::vector<std::uint32_t> user_rows;
    for (const TableDef& def : db->table_defs()) {
      if (def.type == TableType::User && def.columns.size() > 2) user_rows.push_back(def.row_count);
    }
    EXPECT_NE(std::find(user_rows.begin(), user_rows.end(), k.rows), user_rows.end())
        << k.file << " has no wide user table with " << k.rows << " rows";
  }
}

TEST(TableDefCorpus, SystemCatalogDefinitionIsThe17ColumnMSysObjects) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  for (const RawDatabase& db : databases) {
    const TableDef def = read_table_def(db.version, 2, db.page_count(), db.source());
    EXPECT_TRUE(def.is_system()) << db.name;
    ASSERT_EQ(def.columns.size(), 17u) << db.name;
    const ColumnDef* id = def.find_column("id");
    ASSERT_NE(id, nullptr) << db.name;
    EXPECT_EQ(id->type, ColumnType::Long);
    EXPECT_TRUE(id->is_fixed_length());
    const ColumnDef* name = def.find_column("Name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->type, ColumnType::Text);
    EXPECT_TRUE(name->is_variable_length());
    EXPECT_EQ(name->sort_order, 0x0409) << db.name;
    if (!is_jet4(db.version)) {
      EXPECT_EQ(name->code_page, 1252) << db.name;
    }
    ASSERT_EQ(def.real_indexes.size(), 2u);
    ASSERT_EQ(def.logical_indexes.size(), 2u);
    // The long-value columns (Lv, LvProp, LvModule, LvExtra, RmtInfoLong,
    // ...) each have their pair of usage maps.
    const auto long_values = std::count_if(def.columns.begin(), def.columns.end(),
                                           [](const ColumnDef& c) { return c.is_long_value(); });
    EXPECT_EQ(def.long_value_maps.size(), static_cast<std::size_t>(long_values)) << db.name;
  }
}

// Decode, encode, decode: equal; and the pages the encoder lays out carry the
// same headers (next pointers, free space) as the pages Access wrote.
TEST(TableDefCorpus, EveryDefinitionSurvivesEncodeAndPagination) {
  const auto databases = testing::corpus_databases();
  if (databases.empty()) GTEST_SKIP() << "sample databases not found at " << JET_CORPUS_DIR;
  std::size_t multi_page = 0;
  for (const RawDatabase& db : databases) {
    for (const TableDef& def : db.table_defs()) {
      SCOPED_TRACE(db.name + " page " + std::to_string(def.page));
      const std::vector<std::uint8_t> encoded = encode_table_def(def);
      EXPECT_EQ(decode_table_def(def.version, def.page, encoded), def);
      const auto original_first = db.page(def.page);
      EXPECT_EQ(load_u32(&encoded[8]), load_u32(&original_first[8])) << "definition length";

      ASSERT_EQ(table_def_page_count(def), def.pages.size());
      const auto pages = paginate_table_def(def.version, encoded, def.pages);
      for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto original = db.page(def.pages[i]);
        EXPECT_TRUE(std::equal(original.begin(), original.begin() + 8, pages[i].begin())) << "header of page " << i;
      }
      std::map<std::uint32_t, std::vector<std::uint8_t>> written;
      for (std::size_t i = 0; i < pages.size(); ++i) written[def.pages[i]] = pages[i];
      const TableDef reread = read_table_def(def.version, def.page, db.page_count(),
                                             [&](std::uint32_t p) { return written.at(p); });
      EXPECT_EQ(reread, def);
      EXPECT_EQ(reread.pages, def.pages);
      if (def.pages.size() > 1) ++multi_page;
    }
  }
  EXPECT_GE(multi_page, 3u) << "the corpus holds definitions spanning two pages";
}

// ---------------------------------------------------------------------------
// Definitions built here.

ColumnDef text_column(std::uint16_t number, std::string name) {
  ColumnDef c;
  c.type = ColumnType::Text;
  c.number = number;
  c.display_index = number;
  c.variable_index = number;
  c.length = 100;
  c.flags = column_flags::Updatable;
  c.sort_order = 0x0409;
  c.name = std::move(name);
  return c;
}

TableDef wide_table(Version version, std::size_t columns) {
  TableDef def;
  def.version = version;
  def.page = 7;
  def.row_count = 3;
  def.last_autonumber = 12;
  def.owned_pages = {8, 0};
  def.free_space_pages = {8, 1};
  for (std::size_t i = 0; i < columns; ++i) {
    def.columns.push_back(text_column(static_cast<std::uint16_t>(i), "Column with a long name " + std::to_string(i)));
  }
  RealIndexDef real;
  real.columns = {{0, 0x01}, {3, 0x00}};
  real.usage_map = {8, 2};
  real.first_page = 9;
  real.flags = index_flags::Unique | index_flags::Required;
  real.unique_entry_count = 3;
  def.real_indexes.push_back(real);
  LogicalIndexDef primary;
  primary.type = LogicalIndexType::Primary;
  primary.name = "PrimaryKey";
  def.logical_indexes.push_back(primary);
  LogicalIndexDef foreign;
  foreign.number = 1;
  foreign.type = LogicalIndexType::Foreign;
  foreign.related_table_page = 40;
  foreign.related_index = 2;
  foreign.cascade_deletes = 1;
  foreign.name = "Ünïcode ∂ name";
  if (!is_jet4(version)) foreign.name = "Caf\xC3\xA9 \xE2\x82\xAC";  // é and € exist in Windows-1252
  def.logical_indexes.push_back(foreign);
  return def;
}

struct WideCase {
  Version version;
  std::size_t columns;
  std::size_t pages;
};

class WideTable : public ::testing::TestWithParam<WideCase> {};

TEST_P(WideTable, SpansTheExpectedPagesAndReadsBack) {
  const WideCase c = GetParam();
  TableDef def = wide_table(c.version, c.columns);
  ASSERT_EQ(table_def_page_count(def), c.pages);
  std::vector<std::uint32_t> numbers;
  for (std::size_t i = 0; i < c.pages; ++i) numbers.push_back(static_cast<std::uint32_t>(7 + 3 * i));
  const auto encoded = encode_table_def(def);
  const auto pages = paginate_table_def(c.version, encoded, numbers);
  std::map<std::uint32_t, std::vector<std::uint8_t>> written;
  for (std::size_t i = 0; i < pages.size(); ++i) written[numbers[i]] = pages[i];
  const TableDef reread = read_table_def(c.version, 7, 100, [&](std::uint32_t p) { return written.at(p); });
  def.max_columns = static_cast<std::uint16_t>(c.columns);
  def.variable_column_count = static_cast<std::uint16_t>(c.columns);
  if (is_jet4(c.version)) def.reserved = reread.reserved;
  EXPECT_EQ(reread, def);
  EXPECT_EQ(reread.pages, numbers);
  EXPECT_FALSE(reread.real_indexes[0].columns[1].is_ascending());
  EXPECT_TRUE(reread.logical_indexes[1].is_foreign_key());
}

INSTANTIATE_TEST_SUITE_P(Layouts, WideTable,
                         ::testing::Values(WideCase{Version::Jet3, 1, 1}, WideCase{Version::Jet3, 60, 2},
                                           WideCase{Version::Jet3, 160, 4}, WideCase{Version::Jet4, 2, 1},
                                           WideCase{Version::Jet4, 255, 6}));

TEST(TableDefEncode, CountsFollowTheColumnsEvenWhenTheModelUnderstates) {
  TableDef def = wide_table(Version::Jet4, 4);
  def.columns[2].number = 9;  // a gap left by deleted columns
  def.columns[3].variable_index = 6;
  def.max_columns = 0;
  def.variable_column_count = 0;
  const TableDef back = decode_table_def(Version::Jet4, 7, encode_table_def(def));
  EXPECT_EQ(back.max_columns, 10);
  EXPECT_EQ(back.variable_column_count, 7);
  EXPECT_EQ(back.columns.size(), 4u);
}

TEST(TableDefEncode, RefusesWhatTheFormatCannotHold) {
  TableDef def = wide_table(Version::Jet3, 2);
  def.columns[0].name = "\xE2\x88\x82";  // ∂ is not in Windows-1252
  EXPECT_THROW(encode_table_def(def), Error);
  def = wide_table(Version::Jet4, 2);
  def.real_indexes[0].columns.resize(11);
  EXPECT_THROW(encode_table_def(def), Error);
  def = wide_table(Version::Jet4, 2);
  EXPECT_THROW(paginate_table_def(Version::Jet4, encode_table_def(wide_table(Version::Jet4, 255)),
                                  std::vector<std::uint32_t>{7, 8}),
               Error);
}

// ---------------------------------------------------------------------------
// Damaged definitions.

std::string corrupt_field(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt) << e.what();
    return e.where().field;
  }
  ADD_FAILURE() << "no error raised";
  return {};
}

struct ChainCase {
  const char* what;
  std::uint32_t first_next;   // next pointer of page 7
  std::uint8_t second_type;   // type byte of page 8
  std::uint32_t second_next;  // next pointer of page 8
  const char* field;
};

class DamagedChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(DamagedChain, GivesANamedError) {
  const ChainCase c = GetParam();
  const auto encoded = encode_table_def(wide_table(Version::Jet4, 255));
  auto pages = paginate_table_def(Version::Jet4, encoded, std::vector<std::uint32_t>{7, 8, 9, 10, 11, 12});
  store_u32(&pages[0][4], c.first_next);
  pages[1][0] = c.second_type;
  store_u32(&pages[1][4], c.second_next);
  std::map<std::uint32_t, std::vector<std::uint8_t>> written;
  for (std::size_t i = 0; i < pages.size(); ++i) written[static_cast<std::uint32_t>(7 + i)] = pages[i];
  const std::string field = corrupt_field([&] {
    read_table_def(Version::Jet4, 7, 13, [&](std::uint32_t p) { return written.at(p); });
  });
  EXPECT_NE(field.find(c.field), std::string::npos) << c.what << ": " << field;
}

INSTANTIATE_TEST_SUITE_P(
    Chains, DamagedChain,
    ::testing::Values(ChainCase{"loop onto itself", 7, 0x02, 9, "next page"},
                      ChainCase{"loop back from the second page", 8, 0x02, 7, "next page"},
                      ChainCase{"continuation is a data page", 8, 0x01, 9, "page type"},
                      ChainCase{"continuation past the end", 13, 0x02, 9, "next page"},
                      ChainCase{"continuation is the header page", 0x100, 0x02, 9, "next page"},
                      ChainCase{"chain ends early", 8, 0x02, 0, " name"}));

TEST(TableDefDamage, FirstPageOfAnotherKindIsRefused) {
  std::vector<std::uint8_t> page(4096, 0);
  page[0] = 0x01;
  EXPECT_EQ(corrupt_field([&] { read_table_def(Version::Jet4, 3, 10, [&](std::uint32_t) { return page; }); }),
            "page type");
  EXPECT_EQ(corrupt_field([&] { read_table_def(Version::Jet4, 0, 10, [&](std::uint32_t) { return page; }); }),
            "first page");
}

struct CountCase {
  const char* field;
  std::size_t jet4_offset;
  std::uint32_t value;
};

class ImpossibleCount : public ::testing::TestWithParam<CountCase> {};

TEST_P(ImpossibleCount, IsRefusedBeforeAnythingIsAllocated) {
  const CountCase c = GetParam();
  auto encoded = encode_table_def(wide_table(Version::Jet4, 3));
  if (c.jet4_offset == 45) {
    store_u16(&encoded[c.jet4_offset], static_cast<std::uint16_t>(c.value));
  } else {
    store_u32(&encoded[c.jet4_offset], c.value);
  }
  EXPECT_EQ(corrupt_field([&] { decode_table_def(Version::Jet4, 7, encoded); }), c.field);
}

INSTANTIATE_TEST_SUITE_P(Counts, ImpossibleCount,
                         ::testing::Values(CountCase{"column count", 45, 0xFFFF},
                                           CountCase{"real index count", 51, 0xFFFFFFFF},
                                           CountCase{"logical index count", 47, 0x7FFFFFFF}));

TEST(TableDefDamage, EveryTruncationAndByteFlipEndsInADecodeOrANamedError) {
  for (Version version : {Version::Jet3, Version::Jet4}) {
    const auto encoded = encode_table_def(wide_table(version, 6));
    for (std::size_t cut = 0; cut < encoded.size() - 2; ++cut) {
      const Bytes shortened(encoded.data(), cut);
      EXPECT_THROW(decode_table_def(version, 7, shortened), Error) << "cut at " << cut;
    }
    for (std::size_t at = 0; at < encoded.size(); ++at) {
      for (std::uint8_t value : {0x00, 0x7F, 0xFF}) {
        auto damaged = encoded;
        damaged[at] = value;
        try {
          decode_table_def(version, 7, damaged);
        } catch (const Error& e) {
          EXPECT_EQ(e.code(), ErrorCode::Corrupt) << e.what();
          EXPECT_EQ(e.where().page, 7u);
        }
      }
    }
  }
}

}  // namespace
}  // namespace jet
