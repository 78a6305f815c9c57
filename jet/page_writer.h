// Where a database writer puts its pages: numbers handed out in order, each
// page written once, complete, at its place in the output file.
//
// DataPageStream packs one owner's rows into data pages as full as they go:
// a page is written when the next row no longer fits (or at finish), so a
// row's pointer is known the moment it is added.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/data_page.h"
#include "jet/file.h"
#include "jet/format.h"
#include "jet/index_builder.h"
#include "jet/row_pointer.h"

namespace jet {

class PageWriter : public IndexPageSink {
 public:
  PageWriter(File& out, Version version, std::uint32_t first_free_page);

  Version version() const { return version_; }
  std::uint32_t allocate_page() override;
  // Writes a whole page (its size is the format's page size).
  void write_page(std::uint32_t number, Bytes page) override;
  // Pages handed out so far: the size of the file once all are written.
  std::uint32_t page_count() const { return next_; }

 private:
  File& out_;
  Version version_;
  std::uint32_t next_;
};

class DataPageStream {
 public:
  DataPageStream(PageWriter& writer, std::uint32_t owner);

  // The largest row a data page holds.
  static std::size_t max_row_size(Version version);

  // Places the row on the current page, or on a new one when it does not
  // fit. Raises LimitExceeded for a row larger than max_row_size.
  RowPointer add(std::vector<std::uint8_t> row);
  // Writes the page being filled.
  void finish();

  // Every page written, in order.
  const std::vector<std::uint32_t>& pages() const { return pages_; }

 private:
  void flush();

  PageWriter& writer_;
  std::uint32_t owner_;
  std::uint32_t current_ = 0;
  std::vector<PackedRow> rows_;
  std::size_t row_bytes_ = 0;
  std::vector<std::uint32_t> pages_;
};

}  // namespace jet
