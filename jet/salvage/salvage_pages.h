// Page access for salvage: reading pages that may be missing, damaged or
// past the end of a truncated file, and knowing, for every page, its kind
// and (for data pages) the table it names as its owner.
//
// One pass over the file builds the page directory, so that finding a
// table's pages when its usage map is gone costs no second pass per table.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/format/long_value.h"
#include "jet/format/table_def.h"
#include "jet/read/pager.h"
#include "jet/salvage/salvage_data_page.h"

namespace jet {

class SalvagePages {
 public:
  // free_pages: the global free-page map's verdict per page, when the map
  // could be read.
  SalvagePages(const Pager& pager, std::optional<std::vector<bool>> free_pages);

  const Pager& pager() const { return pager_; }
  // The pages as the structure decoders read them (raising on a page that
  // cannot be read).
  PageSource page_source() const;
  std::uint32_t page_count() const { return pager_.page_count(); }

  // The page's bytes, or nothing when it cannot be read (past the end, a
  // partial last page). Io errors pass.
  Page try_page(std::uint32_t n) const;

  std::uint8_t kind(std::uint32_t n) const { return n < kinds_.size() ? kinds_[n] : 0xFF; }
  // The table a data page names as its owner (0 for other pages).
  std::uint32_t owner(std::uint32_t n) const { return n < owners_.size() ? owners_[n] : 0; }
  // Data pages naming table_page as their owner, in page order, leaving out
  // those the free-page map frees.
  std::vector<std::uint32_t> data_pages_owned_by(std::uint32_t table_page) const;
  // Whether the free-page map is known and marks the page free.
  bool known_free(std::uint32_t n) const;
  bool free_map_known() const { return free_pages_.has_value(); }

  // The recovered rows of a data page, or nothing when the page is no data
  // page.
  std::optional<RecoveredDataPage> data_page(const Page& holder) const;

  // Fetches long-value rows: the row must be a live row of a data page that
  // names "LVAL" as its owner.
  LongValueRowFetcher long_value_rows() const;

 private:
  const Pager& pager_;
  std::optional<std::vector<bool>> free_pages_;
  std::vector<std::uint8_t> kinds_;
  std::vector<std::uint32_t> owners_;  // data pages only
};

}  // namespace jet
