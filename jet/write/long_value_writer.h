// Placing the long values (Memo and OLE) of one column on long-value pages.
//
// A value goes, by size (jet/format/long_value.h describes the three forms):
//   inline       when the caller lets it (at most kMaxInlineLongValue bytes
//                and room left in the row): the data follows the field;
//   single row   when it fits one row of a long-value page;
//   chain        otherwise, in pieces that fill the pages they land on.
// The writer keeps one long-value page open for the column, and the list of
// pages it filled, for the column's owned-pages usage map.
//
// A value can also arrive in pieces (as a long value being read hands them
// over, jet/format/long_value.h) and is then laid out on its pages as they come,
// never assembled whole: begin_value() chooses the form from the length, as
// place() does, and reserves the first row; add_piece() fills the rows and
// takes the chain's next pages on the way. The pages are the same as
// place() writes for the same bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/long_value.h"
#include "jet/write/data_page_packer.h"
#include "jet/write/page_store.h"

namespace jet {

// The largest value Access keeps in the row itself.
constexpr std::size_t kMaxInlineLongValue = 64;

class LongValueWriter {
 public:
  LongValueWriter(Version version, PageStore& store) : version_(version), store_(store), packer_(version, kLongValueOwner) {}

  // The stored field (12 bytes, plus the data when inline). Raises
  // LimitExceeded for a value longer than a long value can be.
  std::vector<std::uint8_t> place(Bytes data, bool allow_inline);

  // Starts a value of `length` bytes stored outside the row (single row or
  // chain) and returns its field, which is complete before the data
  // arrives. Raises InvalidArgument while the value begun before still
  // lacks pieces.
  LongValueField begin_value(std::uint32_t length);
  // The next piece of the value begun last. Raises InvalidArgument for more
  // bytes than its length.
  void add_piece(Bytes piece);

  // Writes the open page. Afterwards pages() is complete. Raises
  // InvalidArgument while the value begun last still lacks pieces.
  void finish();

  // Every long-value page written, ascending.
  const std::vector<std::uint32_t>& pages() const { return pages_; }
  // The page still being filled, 0 when none: the column's free-space map.
  std::uint32_t last_page() const { return pages_.empty() ? 0 : pages_.back(); }

 private:
  void open_new_page();
  void close_page();
  // Reserves the next row of a chain on the open page, or a new one when
  // little room is left, with the piece that fits; takes the page of the
  // row after it unless this row ends the value.
  RowPointer start_chain_row();
  // Writes the open page and goes on with the chain's next page.
  void move_to_next_page();
  // Refuses to go on from a value whose pieces have not all arrived: its
  // rows would hold zeros where its bytes belong.
  void ensure_value_whole(const char* action) const;

  Version version_;
  PageStore& store_;
  DataPagePacker packer_;
  std::vector<std::uint32_t> pages_;
  // The value being placed: its bytes not yet in a row, the rest of the row
  // being filled, and the page its next chain row goes on (0 when none).
  std::size_t remaining_ = 0;
  MutableBytes row_;
  std::uint32_t next_page_ = 0;
};

}  // namespace jet
