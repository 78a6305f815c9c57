// Fills one data page at a time with rows, for a writer that streams a table
// (or a column's long values) into the file.
//
// DataPageStream is the packer joined to a page store for a table's rows: a
// page is taken from the store when the next row no longer fits the open one,
// and written when the one after it is taken (or at finish).
//
// The page number is fixed when the page is opened, so each row's pointer is
// known the moment it is added (index entries and long-value fields need it
// before the page is full). Rows are laid out on the page as they come
// (DataPageBuilder, jet/format/data_page.h), so a row is copied once.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format/data_page.h"
#include "jet/format/format.h"
#include "jet/format/row_pointer.h"
#include "jet/write/page_store.h"

namespace jet {

class DataPagePacker {
 public:
  DataPagePacker(Version version, std::uint32_t owner) : version_(version), builder_(version, owner) {}

  // The largest row an empty page holds.
  static std::size_t max_row_size(Version version);

  bool is_open() const { return page_ != 0; }
  std::uint32_t page() const { return page_; }
  std::size_t row_count() const { return builder_.row_count(); }

  // Starts filling page `number`; the previous page must be closed.
  void open(std::uint32_t number);
  // The largest row that still fits the open page (0 when none does).
  std::size_t room() const;
  // Adds a row that fits (size <= room()) and returns its pointer.
  RowPointer add(Bytes row) { return add({}, row); }
  // Adds the row made of head then body.
  RowPointer add(Bytes head, Bytes body);
  // Adds a row of head then body_size bytes (which must fit) for the caller
  // to fill in `body`, valid until the page is closed.
  struct ReservedRow {
    RowPointer at;
    MutableBytes body;
  };
  ReservedRow reserve(Bytes head, std::size_t body_size);
  // The open page's bytes, valid until the next open; the packer is then
  // closed.
  Bytes close();

 private:
  Version version_;
  std::uint32_t page_ = 0;
  DataPageBuilder builder_;
};

class DataPageStream {
 public:
  DataPageStream(Version version, std::uint32_t owner, PageStore& store)
      : version_(version), store_(store), packer_(version, owner) {}

  // Places the row and returns its pointer. Raises LimitExceeded for a row
  // larger than DataPagePacker::max_row_size.
  RowPointer add(Bytes row);
  // Writes the open page. Afterwards pages() is complete.
  void finish();

  // Every data page taken, ascending.
  const std::vector<std::uint32_t>& pages() const { return pages_; }
  std::uint32_t last_page() const { return pages_.empty() ? 0 : pages_.back(); }

 private:
  Version version_;
  PageStore& store_;
  DataPagePacker packer_;
  std::vector<std::uint32_t> pages_;
};

}  // namespace jet
