#include "jet/format/data_page.h"

#include <gtest/gtest.h>

#include <map>

namespace jet {
namespace {

std::vector<PackedRow> sample_rows() {
  return {PackedRow{{1, 2, 3}, 0}, PackedRow{{4}, kRowDeleted},
          PackedRow{{0x05, 0x22, 0x11, 0x00}, kRowOverflow}, PackedRow{{}, 0}};
}

TEST(DataPage, DecodesWhatItEncodesInBothFormats) {
  for (Version v : {Version::Jet3, Version::Jet4}) {
    SCOPED_TRACE(to_string(v));
    auto rows = sample_rows();
    auto page = encode_data_page(v, 0x123456, rows);
    ASSERT_EQ(page.size(), page_size(v));
    DataPage d = decode_data_page(page, v, 9);
    EXPECT_EQ(d.owner, 0x123456u);
    EXPECT_EQ(d.free_space, page_size(v) - data_page_header_size(v) - 2 * 4 - 8);
    ASSERT_EQ(d.slots.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      Bytes got = row_bytes(page, d, i, v, 9);
      EXPECT_EQ(std::vector<std::uint8_t>(got.begin(), got.end()), rows[i].data) << i;
      EXPECT_EQ(d.slots[i].deleted(), (rows[i].flags & kRowDeleted) != 0);
      EXPECT_EQ(d.slots[i].overflow(), (rows[i].flags & kRowOverflow) != 0);
    }
    EXPECT_EQ(decode_overflow_pointer(row_bytes(page, d, 2, v, 9), 9), (RowPointer{0x1122, 5}));
  }
}

TEST(DataPage, RefusesRowsThatDoNotFit) {
  std::vector<PackedRow> big{PackedRow{std::vector<std::uint8_t>(2048 - 10 - 2 + 1), 0}};
  EXPECT_THROW(encode_data_page(Version::Jet3, 2, big), Error);
  big[0].data.pop_back();
  EXPECT_EQ(decode_data_page(encode_data_page(Version::Jet3, 2, big), Version::Jet3, 1).free_space, 0);
  std::vector<PackedRow> many(256);
  EXPECT_THROW(encode_data_page(Version::Jet4, 2, many), Error);
}

struct OverflowCase {
  const char* name;
  std::vector<RowPointer> chain;  // where each pointer leads, from the home row's on
  bool ends_cut_short;            // the last row is flagged a pointer but holds 3 bytes
  const char* refusal;            // in the error's message; nullptr: the row is reached
};

TEST(DataPage, FollowsOverflowRowsAFewHopsNeverALoop) {
  const RowPointer home{10, 0};
  const std::vector<std::uint8_t> row{0xAA, 0xBB};
  const OverflowCase cases[] = {
      {"one hop, as Access writes", {{11, 1}}, false, nullptr},
      {"the most hops", {{11, 1}, {12, 2}, {13, 3}, {14, 4}}, false, nullptr},
      {"one hop too many", {{11, 1}, {12, 2}, {13, 3}, {14, 4}, {15, 5}}, false, "more than 4 hops"},
      {"back to its home", {{11, 1}, {10, 0}}, false, "a loop"},
      {"to itself", {{11, 1}, {11, 1}}, false, "a loop"},
      {"to the header page", {{0, 3}}, false, "page 0"},
      {"a pointer cut short", {{11, 1}}, true, "cut short"},
  };
  for (const OverflowCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::map<RowPointer, std::vector<std::uint8_t>> rows;
    std::vector<std::uint8_t> pointer(4);
    store_row_pointer(pointer.data(), c.chain.front());
    for (std::size_t i = 0; i + 1 < c.chain.size(); ++i) {
      rows[c.chain[i]].resize(4);
      store_row_pointer(rows[c.chain[i]].data(), c.chain[i + 1]);
    }
    rows.try_emplace(c.chain.back(), c.ends_cut_short ? std::vector<std::uint8_t>(3) : row);
    const auto fetch = [&](RowPointer at) {
      const std::vector<std::uint8_t>& bytes = rows.at(at);
      return SlotRow{bytes, bytes != row};  // all but the row itself are pointers
    };
    try {
      const MovedRow moved = follow_overflow_row(home, pointer, fetch);
      EXPECT_EQ(c.refusal, nullptr) << "accepted";
      EXPECT_EQ(moved.at, c.chain.back());
      EXPECT_EQ(moved.hops, c.chain.size());
      EXPECT_EQ(std::vector<std::uint8_t>(moved.bytes.begin(), moved.bytes.end()), row);
    } catch (const Error& e) {
      ASSERT_NE(c.refusal, nullptr) << e.what();
      EXPECT_EQ(e.where().page, home.page);
      EXPECT_EQ(e.where().field, "row 0 overflow pointer");
      EXPECT_NE(e.message().find(c.refusal), std::string::npos) << e.what();
    }
  }
}

struct DamageCase {
  const char* name;
  std::size_t offset;     // byte of the Jet 4 page to overwrite
  std::uint16_t value;    // written as 2 bytes
  std::size_t row;        // row to read after the damage
  const char* field_part; // expected in the error's field
};

class DataPageDamage : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DataPageDamage, IsACorruptErrorNamingPageAndField) {
  const auto& c = GetParam();
  auto rows = sample_rows();
  auto page = encode_data_page(Version::Jet4, 2, rows);
  store_u16(page.data() + c.offset, c.value);
  try {
    DataPage d = decode_data_page(page, Version::Jet4, 77);
    row_bytes(page, d, c.row, Version::Jet4, 77);
    FAIL() << "accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Corrupt);
    EXPECT_EQ(e.where().page, 77u);
    EXPECT_NE(e.where().field.find(c.field_part), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataPageDamage,
    ::testing::Values(DamageCase{"wrong_type", 0, 0x0102, 0, "page type"},
                      DamageCase{"row_count_past_page", 12, 2100, 0, "row count"},
                      DamageCase{"row_count_over_255", 12, 256, 0, "row count"},
                      DamageCase{"start_in_offset_table", 14, 4, 0, "row 0 offset"},
                      DamageCase{"start_after_end", 16, 4095, 1, "row 1 offset"},
                      DamageCase{"missing_row", 12, 1, 3, "row number"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace jet
