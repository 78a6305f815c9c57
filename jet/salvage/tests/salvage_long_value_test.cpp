#include "jet/salvage/salvage_long_value.h"

#include <gtest/gtest.h>

#include <map>

namespace jet {
namespace {

// Long-value rows held in a map; a missing pointer fails like a page that
// holds no such row.
struct Rows {
  std::map<RowPointer, std::vector<std::uint8_t>> rows;
  LongValueRowFetcher fetcher() const {
    return [this](RowPointer at) {
      auto it = rows.find(at);
      if (it == rows.end()) throw_corrupt(at.page, "long-value page", "row", "no such row");
      return it->second;
    };
  }
};

std::vector<std::uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

LongValueField chain_field(std::uint32_t length, RowPointer first) {
  LongValueField field;
  field.kind = LongValueKind::Chain;
  field.length = length;
  field.first = first;
  return field;
}

TEST(SalvageLongValue, KeepsAChainUpToItsFirstDamage) {
  const RowPointer a{10, 0}, b{11, 3}, c{12, 1}, nowhere{99, 9};
  struct Row {
    const char* name;
    std::map<RowPointer, std::vector<std::uint8_t>> rows;
    std::uint32_t length;
    std::string kept;
    bool cut;
  } rows[] = {
      {"sound chain", {{a, encode_chain_row(b, text("abc"))}, {b, encode_chain_row(c, text("def"))}, {c, encode_chain_row({}, text("g"))}},
       7, "abcdefg", false},
      {"dangling second link", {{a, encode_chain_row(nowhere, text("abc"))}}, 7, "abc", true},
      {"loop back to the first row", {{a, encode_chain_row(b, text("abc"))}, {b, encode_chain_row(a, text("def"))}}, 9,
       "abcdef", true},
      {"chain shorter than its length", {{a, encode_chain_row({}, text("abc"))}}, 5, "abc", true},
      {"chain longer than its length", {{a, encode_chain_row(b, text("abc"))}, {b, encode_chain_row({}, text("def"))}}, 4,
       "abcd", true},
      {"first row missing", {}, 3, "", true},
      {"row too short for its link", {{a, {1, 2}}}, 3, "", true},
  };
  for (const auto& row : rows) {
    Rows store{row.rows};
    SalvagedLongValue value = salvage_long_value(chain_field(row.length, a), store.fetcher(), 100);
    EXPECT_EQ(std::string(value.bytes.begin(), value.bytes.end()), row.kept) << row.name;
    EXPECT_EQ(value.cut, row.cut) << row.name;
    EXPECT_EQ(value.why.empty(), !row.cut) << row.name;
  }
}

TEST(SalvageLongValue, CutsASingleRowValueToWhatItsRowHolds) {
  const RowPointer at{5, 2};
  LongValueField field;
  field.kind = LongValueKind::SingleRow;
  field.first = at;
  struct Row {
    const char* name;
    std::uint32_t length;
    bool present;
    std::string kept;
    bool cut;
  } rows[] = {
      {"row longer than the value", 4, true, "memo", false},
      {"row shorter than the value", 20, true, "memo text", true},
      {"row missing", 4, false, "", true},
  };
  for (const auto& row : rows) {
    Rows store;
    if (row.present) store.rows[at] = text("memo text");
    field.length = row.length;
    SalvagedLongValue value = salvage_long_value(field, store.fetcher(), 100);
    EXPECT_EQ(std::string(value.bytes.begin(), value.bytes.end()), row.kept) << row.name;
    EXPECT_EQ(value.cut, row.cut) << row.name;
  }
}

}  // namespace
}  // namespace jet
