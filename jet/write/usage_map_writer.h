// Writing usage maps: each map's row (jet/format/usage_map.h) packed onto data
// pages, a reference map's bitmap pages, and the file's free-page map.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "jet/format/format.h"
#include "jet/format/row_pointer.h"
#include "jet/write/data_page_packer.h"
#include "jet/write/page_store.h"

namespace jet {

// Packs map rows onto data pages of one owner, a page taken from the store
// when the next row no longer fits; the open page is written at finish. Kept
// open across tables, it lets them share the pages their maps need.
class UsageMapWriter {
 public:
  UsageMapWriter(Version version, std::uint32_t owner, PageStore& store)
      : version_(version), store_(store), packer_(version, owner) {}

  // Writes one map per entry of `maps` (each ascending page numbers) and
  // returns where each map's row is, in the same order.
  std::vector<RowPointer> write(std::span<const std::vector<std::uint32_t>> maps);
  void finish();

 private:
  Version version_;
  PageStore& store_;
  DataPagePacker packer_;
};

// Writes page 1: the global free-page map in row 0 (covering every page up to
// page_count, and the map's own bitmap pages) and the all-zero row 1 Access
// keeps after it. `free_pages` ascending. Returns the page count once the
// bitmap pages are added.
std::uint32_t write_free_page_map(Version version, std::span<const std::uint32_t> free_pages,
                                  std::uint32_t page_count, PageStore& store);

}  // namespace jet
