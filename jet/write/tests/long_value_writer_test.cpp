#include "jet/write/long_value_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <map>
#include <set>

#include "jet/format/data_page.h"
#include "jet/format/long_value.h"

namespace jet {
namespace {

using ByteVector = std::vector<std::uint8_t>;

class MemoryStore : public PageStore {
 public:
  explicit MemoryStore(Version version) : version_(version) {}
  std::uint32_t allocate_page() override {
    allocated.insert(next_);
    return next_++;
  }
  void write_page(std::uint32_t number, Bytes page) override {
    EXPECT_TRUE(allocated.contains(number)) << "page " << number << " written before it was taken";
    EXPECT_TRUE(pages.emplace(number, ByteVector(page.begin(), page.end())).second) << "page " << number << " written twice";
  }
  // The stored value a field points at, read back as a reader would.
  ByteVector read(const ByteVector& stored) const {
    const LongValueField field = decode_long_value_field(stored, 0, "Notes");
    const LongValueRowFetcher fetch = [this](RowPointer at) {
      const ByteVector& page = pages.at(at.page);
      const Bytes row = row_bytes(page, decode_data_page(page, version_, at.page), at.row, version_, at.page);
      return ByteVector(row.begin(), row.end());
    };
    return read_long_value(field, fetch, 0, "Notes", 1000);
  }

  std::set<std::uint32_t> allocated;
  std::map<std::uint32_t, ByteVector> pages;

 private:
  Version version_;
  std::uint32_t next_ = 5;
};

ByteVector value_of(std::size_t length, std::uint8_t seed) {
  ByteVector data(length);
  for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return data;
}

ByteVector stored_field(const LongValueField& field) {
  ByteVector stored(kLongValueFieldSize);
  store_long_value_field(stored.data(), field);
  return stored;
}

// A value handed over in pieces of any size lands on the same pages, in the
// same rows, as the same value placed whole, and reads back whole: single
// rows, a chain that ends exactly on a piece boundary, and chains longer
// than a page, after a smaller value that leaves the first page part full.
TEST(LongValueWriter, PiecesOfAnySizeLandAsTheWholeValueDoes) {
  struct Case {
    std::size_t length;
    std::size_t piece;
  };
  for (Version v : {Version::Jet3, Version::Jet4}) {
    const std::size_t max_row = DataPagePacker::max_row_size(v);
    const Case cases[] = {{0, 1},           {70, 1},       {max_row, 1000},       {max_row + 1, max_row + 1},
                          {max_row + 1, 1}, {3 * page_size(v) + 17, 333}, {3 * page_size(v) + 17, max_row - 4},
                          {10 * page_size(v), 4096}};
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(to_string(v)) + ", " + std::to_string(c.length) + " bytes in pieces of " +
                   std::to_string(c.piece));
      const ByteVector before = value_of(900, 1);
      const ByteVector data = value_of(c.length, 3);
      MemoryStore whole_store(v), pieces_store(v);
      LongValueWriter whole(v, whole_store), pieces(v, pieces_store);
      whole.place(before, false);
      pieces.place(before, false);
      const ByteVector whole_field = whole.place(data, false);
      const LongValueField field = pieces.begin_value(static_cast<std::uint32_t>(c.length));
      for (std::size_t at = 0; at < c.length; at += c.piece) {
        pieces.add_piece(Bytes(data).subspan(at, std::min(c.piece, c.length - at)));
      }
      whole.finish();
      pieces.finish();
      EXPECT_EQ(stored_field(field), whole_field);
      EXPECT_EQ(pieces_store.pages, whole_store.pages);
      EXPECT_EQ(pieces.pages(), whole.pages());
      EXPECT_EQ(pieces_store.read(stored_field(field)), data);
    }
  }
}

// A value is given whole before anything else is done: more bytes than its
// length, a new value or the end while it lacks pieces would leave rows
// that hold zeros or others' bytes where its own belong.
TEST(LongValueWriter, RefusesAValueNotGivenWhole) {
  const ByteVector ten(10, 1);
  const std::function<void(LongValueWriter&)> misuses[] = {
      [&](LongValueWriter& w) {
        w.add_piece(ten);
        w.add_piece(Bytes(ten).first(1));
      },
      [&](LongValueWriter& w) {
        w.add_piece(Bytes(ten).first(9));
        w.begin_value(10);
      },
      [&](LongValueWriter& w) {
        w.add_piece(Bytes(ten).first(9));
        w.place(ten, false);
      },
      [&](LongValueWriter& w) {
        w.add_piece(Bytes(ten).first(9));
        w.finish();
      },
  };
  for (std::size_t i = 0; i < std::size(misuses); ++i) {
    MemoryStore store(Version::Jet4);
    LongValueWriter writer(Version::Jet4, store);
    writer.begin_value(10);
    try {
      misuses[i](writer);
      ADD_FAILURE() << "misuse " << i << " was accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.code(), ErrorCode::InvalidArgument) << "misuse " << i << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace jet
