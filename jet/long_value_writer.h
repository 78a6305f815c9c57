// Placing the long values (Memo and OLE) of one column on long-value pages.
//
// A value goes, by size (jet/long_value.h describes the three forms):
//   inline       when the caller lets it (at most kMaxInlineLongValue bytes
//                and room left in the row): the data follows the field;
//   single row   when it fits one row of a long-value page;
//   chain        otherwise, in pieces that fill the pages they land on.
// The writer keeps one long-value page open for the column, and the list of
// pages it filled, for the column's owned-pages usage map.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/data_page_packer.h"
#include "jet/page_store.h"

namespace jet {

// The largest value Access keeps in the row itself.
constexpr std::size_t kMaxInlineLongValue = 64;

class LongValueWriter {
 public:
  LongValueWriter(Version version, PageStore& store) : version_(version), store_(store), packer_(version, kLongValueOwner) {}

  // The stored field (12 bytes, plus the data when inline). Raises
  // LimitExceeded for a value longer than a long value can be.
  std::vector<std::uint8_t> place(Bytes data, bool allow_inline);

  // Writes the open page. Afterwards pages() is complete.
  void finish();

  // Every long-value page written, ascending.
  const std::vector<std::uint32_t>& pages() const { return pages_; }
  // The page still being filled, 0 when none: the column's free-space map.
  std::uint32_t last_page() const { return pages_.empty() ? 0 : pages_.back(); }

 private:
  void open_new_page();
  void close_page();

  Version version_;
  PageStore& store_;
  DataPagePacker packer_;
  std::vector<std::uint32_t> pages_;
};

}  // namespace jet
