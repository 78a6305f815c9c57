#include "jet/format/long_value.h"

#include <gtest/gtest.h>

#include <map>

namespace jet {
namespace {

using ByteVector = std::vector<std::uint8_t>;

TEST(LongValueField, RoundTripsEveryKind) {
  ByteVector inline_data{'h', 'i'};
  const LongValueField cases[] = {
      {LongValueKind::Inline, 2, RowPointer{}, 0, inline_data},
      {LongValueKind::SingleRow, 3000, RowPointer{0x654321, 7}, 0, {}},
      {LongValueKind::Chain, kMaxLongValueLength, RowPointer{12, 0}, 0xAABBCCDD, {}},
  };
  for (const auto& f : cases) {
    auto stored = encode_long_value_field(f);
    EXPECT_EQ(stored.size(), kLongValueFieldSize + f.inline_data.size());
    EXPECT_EQ(decode_long_value_field(stored, 1, "Notes"), f);
  }
}

TEST(LongValueField, DamagedFieldsAreCorrupt) {
  ByteVector both_bits(12, 0);
  both_bits[3] = 0xC0;
  ByteVector inline_too_long = encode_long_value_field({LongValueKind::Inline, 0, {}, 0, {}});
  inline_too_long[0] = 5;
  ByteVector nowhere = encode_long_value_field({LongValueKind::SingleRow, 10, RowPointer{}, 0, {}});
  for (const ByteVector& stored : {both_bits, inline_too_long, nowhere, ByteVector(11, 0)}) {
    try {
      decode_long_value_field(stored, 4, "Notes");
      FAIL();
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::Corrupt);
      EXPECT_EQ(e.where().page, 4u);
      EXPECT_NE(e.where().structure.find("Notes"), std::string::npos);
    }
  }
}

// Long-value rows by pointer, as a database would fetch them.
struct RowStore {
  std::map<RowPointer, ByteVector> rows;
  LongValueRowFetcher fetcher() const {
    return [this](RowPointer p) {
      auto it = rows.find(p);
      if (it == rows.end()) throw_corrupt(p.page, "data page", "row number", "no such row");
      return it->second;
    };
  }
};

ByteVector text(const std::string& s) { return ByteVector(s.begin(), s.end()); }

TEST(ReadLongValue, AssemblesSingleRowsAndChains) {
  RowStore store;
  store.rows[{5, 0}] = text("single row and slack");
  store.rows[{6, 1}] = encode_chain_row(RowPointer{7, 0}, text("first "));
  store.rows[{7, 0}] = encode_chain_row(RowPointer{6, 2}, text("second "));
  store.rows[{6, 2}] = encode_chain_row(RowPointer{}, text("third"));
  LongValueField single{LongValueKind::SingleRow, 10, RowPointer{5, 0}, 0, {}};
  EXPECT_EQ(read_long_value(single, store.fetcher(), 1, "M", 100), text("single row"));
  LongValueField chain{LongValueKind::Chain, 18, RowPointer{6, 1}, 0, {}};
  EXPECT_EQ(read_long_value(chain, store.fetcher(), 1, "M", 100), text("first second third"));
}

// A reader that lends rows from one scratch buffer, overwritten on every
// call, as a page cache's view would be: the value must be copied out piece
// by piece, and the caller's buffer must hold only the latest value.
TEST(ReadLongValue, IntoABufferFromLentRowsKeepsOnlyTheLatestValue) {
  RowStore store;
  store.rows[{6, 1}] = encode_chain_row(RowPointer{7, 0}, text("first "));
  store.rows[{7, 0}] = encode_chain_row(RowPointer{6, 2}, text("second "));
  store.rows[{6, 2}] = encode_chain_row(RowPointer{}, text("third"));
  store.rows[{5, 0}] = text("short and slack");
  ByteVector scratch;
  const LongValueRowView lend = [&](RowPointer p) -> Bytes {
    scratch = store.fetcher()(p);
    return scratch;
  };
  const LongValueField chain{LongValueKind::Chain, 18, RowPointer{6, 1}, 0, {}};
  const LongValueField single{LongValueKind::SingleRow, 5, RowPointer{5, 0}, 0, {}};
  const ByteVector inline_bytes = text("in row");
  const LongValueField in_row{LongValueKind::Inline, 6, RowPointer{}, 0, inline_bytes};
  const LongValueField empty{LongValueKind::SingleRow, 0, RowPointer{}, 0, {}};
  ByteVector out;
  const std::pair<const LongValueField*, ByteVector> reads[] = {
      {&chain, text("first second third")}, {&single, text("short")}, {&in_row, text("in row")},
      {&empty, {}}, {&chain, text("first second third")}};
  for (const auto& [field, want] : reads) {
    read_long_value_into(*field, lend, 1, "M", 100, out);
    EXPECT_EQ(out, want);
  }
}

struct ChainDamage {
  const char* name;
  std::uint32_t length;
  const char* message_part;
};

class ReadLongValueDamage : public ::testing::TestWithParam<ChainDamage> {};

TEST_P(ReadLongValueDamage, IsCorruptNeverAHang) {
  RowStore store;
  store.rows[{6, 1}] = encode_chain_row(RowPointer{7, 0}, text("abc"));
  store.rows[{7, 0}] = encode_chain_row(RowPointer{6, 1}, text("def"));  // loops back
  store.rows[{8, 0}] = encode_chain_row(RowPointer{9, 9}, text("abc"));  // dangles
  store.rows[{9, 0}] = encode_chain_row(RowPointer{}, text("abc"));
  store.rows[{10, 0}] = ByteVector{1, 2};                                 // shorter than a pointer
  std::map<std::string, RowPointer> start{{"loop", {6, 1}}, {"dangling", {8, 0}},
                                          {"too_short", {9, 0}}, {"too_long", {9, 0}},
                                          {"cut_row", {10, 0}}, {"single_short", {9, 0}}};
  const auto& c = GetParam();
  LongValueKind kind = std::string(c.name) == "single_short" ? LongValueKind::SingleRow
                                                             : LongValueKind::Chain;
  LongValueField f{kind, c.length, start.at(c.name), 0, {}};
  try {
    read_long_value(f, store.fetcher(), 3, "Body", 1000);
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadLongValueDamage,
    ::testing::Values(ChainDamage{"loop", 100, "loops back"}, ChainDamage{"dangling", 100, "no such row"},
                      ChainDamage{"too_short", 2, "holds more"}, ChainDamage{"too_long", 4, "holds 3"},
                      ChainDamage{"cut_row", 10, "next row pointer"},
                      ChainDamage{"single_short", 50, "holds 7"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jet
