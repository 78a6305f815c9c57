// Unique and primary-key indexes refuse a row whose key another row has,
// as Jet decides it: keys compare as encoded (so texts differing only in
// case collide), a key of nulls only never collides, and a primary key
// refuses nulls. A refused row leaves nothing behind: the rest of the table
// is written and the file verifies clean.
#include <gtest/gtest.h>

#include <optional>

#include "jet/read/database.h"
#include "jet/verify/verify.h"
#include "jet/write/new_database.h"
#include "jet/write/table_layout.h"
#include "support/new_header.h"

namespace jet {
namespace {

struct Row {
  std::optional<std::int32_t> id;
  std::optional<std::string> code;
  std::optional<std::int16_t> a, b;
  std::optional<std::int16_t> c;
};

std::vector<Value> values_of(const Row& row) {
  auto value = [](ColumnType type, const auto& v) {
    return v ? Value{type, *v} : Value::null(type);
  };
  return {value(ColumnType::Long, row.id), value(ColumnType::Text, row.code), value(ColumnType::Integer, row.a),
          value(ColumnType::Integer, row.b), value(ColumnType::Integer, row.c)};
}

TableDef keyed_table(Version v) {
  return lay_out_table(v, 1252, 0x0409,
                       {{"ID", ColumnType::Long},
                        {"Code", ColumnType::Text, 20},
                        {"A", ColumnType::Integer},
                        {"B", ColumnType::Integer},
                        {"C", ColumnType::Integer}},
                       {{"PrimaryKey", {{"ID"}}, true, true},
                        {"ByCode", {{"Code"}}, true},
                        {"ByAB", {{"A"}, {"B", false}}, true},
                        {"ByC", {{"C"}}, true, false, true}});
}

struct Case {
  const char* what;
  std::vector<Row> rows;
  std::optional<std::size_t> refused;  // the row add_row refuses
  const char* index = "";              // named in the message
};

const Case kCases[] = {
    {"distinct keys", {{1, "a", 1, 1, 1}, {2, "b", 1, 2, 2}, {3, "c", 2, 1, 3}}, std::nullopt},
    {"same primary key", {{1, "a", 1, 1, 1}, {1, "b", 2, 2, 2}}, 1, "PrimaryKey"},
    {"null primary key", {{1, "a", 1, 1, 1}, {std::nullopt, "b", 2, 2, 2}}, 1, "PrimaryKey"},
    {"same text", {{1, "Smith", 1, 1, 1}, {2, "Jones", 2, 2, 2}, {3, "Smith", 3, 3, 3}}, 2, "ByCode"},
    {"texts differing only in case", {{1, "smith", 1, 1, 1}, {2, "SMITH", 2, 2, 2}}, 1, "ByCode"},
    {"several null texts", {{1, std::nullopt, 1, 1, 1}, {2, std::nullopt, 2, 2, 2}}, std::nullopt},
    {"same pair of columns", {{1, "a", 5, -3, 1}, {2, "b", 5, -3, 2}}, 1, "ByAB"},
    {"pairs differing in the descending column", {{1, "a", 5, -3, 1}, {2, "b", 5, 3, 2}}, std::nullopt},
    {"pair with the same column null", {{1, "a", 5, std::nullopt, 1}, {2, "b", 5, std::nullopt, 2}}, 1, "ByAB"},
    {"pairs of nulls only", {{1, "a", std::nullopt, std::nullopt, 1}, {2, "b", std::nullopt, std::nullopt, 2}},
     std::nullopt},
    {"nulls in an index ignoring them", {{1, "a", 1, 1, std::nullopt}, {2, "b", 2, 2, std::nullopt}},
     std::nullopt},
    {"same value in an index ignoring nulls", {{1, "a", 1, 1, 7}, {2, "b", 2, 2, 7}}, 1, "ByC"},
};

class UniqueIndex : public ::testing::TestWithParam<Version> {};

TEST_P(UniqueIndex, RefusesTheRowThatDuplicatesAKeyAndKeepsTheOthers) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    MemoryFile file;
    std::size_t accepted = 0;
    {
      NewDatabase db(file, testing::new_header(GetParam()));
      TableWriter& table = db.begin_table("People", keyed_table(GetParam()));
      for (std::size_t i = 0; i < c.rows.size(); ++i) {
        try {
          table.add_row(values_of(c.rows[i]));
          ++accepted;
          EXPECT_NE(c.refused, i) << "row " << i << " was taken";
        } catch (const Error& e) {
          EXPECT_EQ(c.refused, i) << e.what();
          EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
          EXPECT_NE(std::string(e.what()).find("table People"), std::string::npos) << e.what();
          EXPECT_NE(std::string(e.what()).find(c.index), std::string::npos) << e.what();
        }
      }
      db.finish_table(table);
      db.finish();
    }
    EXPECT_TRUE(verify(file).clean()) << format_report(verify(file));
    Database db(file);
    EXPECT_EQ(db.table("People").rows().size(), accepted);
  }
}

TEST_P(UniqueIndex, ADuplicatePastTheMemoryBudgetStopsTheTableWithTheKeyNamed) {
  MemoryFile file;
  NewDatabase db(file, testing::new_header(GetParam()), WriterOptions{256});  // too small to remember the keys
  TableWriter& table = db.begin_table("People", keyed_table(GetParam()));
  for (std::int32_t i = 0; i < 40; ++i) {
    const std::int16_t n = static_cast<std::int16_t>(i);
    table.add_row(values_of({i, "code " + std::to_string(i), n, n, n}));
  }
  table.add_row(values_of({40, "CODE 7", 40, 40, 40}));
  try {
    db.finish_table(table);
    FAIL() << "the duplicate was not found";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::InvalidArgument);
    EXPECT_NE(std::string(e.what()).find("ByCode"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("twice"), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(BothFormats, UniqueIndex, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& info) { return std::string(to_string(info.param)); });

}  // namespace
}  // namespace jet
