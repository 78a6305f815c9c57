// Fills one data page at a time with rows, for a writer that streams a table
// (or a column's long values) into the file.
//
// The page number is fixed when the page is opened, so each row's pointer is
// known the moment it is added (index entries and long-value fields need it
// before the page is full). Closing encodes the page (jet/data_page.h) with
// the rows in the order they came.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/row_pointer.h"

namespace jet {

class DataPagePacker {
 public:
  DataPagePacker(Version version, std::uint32_t owner) : version_(version), owner_(owner) {}

  // The largest row an empty page holds.
  static std::size_t max_row_size(Version version);

  bool is_open() const { return page_ != 0; }
  std::uint32_t page() const { return page_; }
  std::size_t row_count() const { return rows_.size(); }

  // Starts filling page `number`; the previous page must be closed.
  void open(std::uint32_t number);
  // The largest row that still fits the open page (0 when none does).
  std::size_t room() const;
  // Adds a row that fits (size <= room()) and returns its pointer.
  RowPointer add(std::vector<std::uint8_t> row);
  // The open page's bytes; the packer is then closed.
  std::vector<std::uint8_t> close();

 private:
  Version version_;
  std::uint32_t owner_;
  std::uint32_t page_ = 0;
  std::size_t used_ = 0;
  std::vector<PackedRow> rows_;
};

}  // namespace jet
