// Packing rows into data pages, one page at a time, for a writer that lays
// out a new file front to back.
//
// Pages come from an allocator as they are opened, so a row's address is
// known the moment it is added: a long-value chain is written last piece
// first, each piece pointing at the one placed before it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "jet/data_page.h"
#include "jet/file.h"
#include "jet/format.h"
#include "jet/row_pointer.h"

namespace jet {

// Hands out page numbers, front to back.
class PageAllocator {
 public:
  explicit PageAllocator(std::uint32_t first_free) : next_(first_free) {}
  std::uint32_t allocate() { return next_++; }
  std::uint32_t page_count() const { return next_; }

 private:
  std::uint32_t next_;
};

class PageFiller {
 public:
  PageFiller(Version version, std::uint32_t owner, PageAllocator& allocator, File& out);
  ~PageFiller() = default;

  // The most bytes one row may have.
  std::size_t max_row_size() const;
  // Places a row, opening a new page when the current one is full. Raises
  // LimitExceeded for a row larger than max_row_size().
  RowPointer add(std::vector<std::uint8_t> row);
  // Writes the open page, if any.
  void flush();
  // Every page written, in order.
  const std::vector<std::uint32_t>& pages() const { return pages_; }

 private:
  Version version_;
  std::uint32_t owner_;
  PageAllocator& allocator_;
  File& out_;
  std::vector<std::uint32_t> pages_;
  std::vector<PackedRow> open_rows_;
  std::size_t open_bytes_ = 0;
  bool open_ = false;
};

}  // namespace jet
