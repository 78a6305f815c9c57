// Usage maps: which pages a table (or an index, or a long-value column) owns,
// which have free space, and, in row 0 of data page 1, which pages of the
// whole file are free.
//
// A map is one row of a data page, named by a RowPointer. Its first byte says
// which of two kinds it is:
//
//   Inline (type 0)
//     byte 0      0x00
//     bytes 1-4   first page the bitmap covers
//     bytes 5-    bitmap, least significant bit first: bit n set means page
//                 first + n is in the map
//
//   Reference (type 1)
//     byte 0      0x01
//     bytes 1-    4-byte page numbers of bitmap pages, 0 where a range holds
//                 no page. Slot k covers pages k * B to (k + 1) * B - 1,
//                 where B = (page size - 4) * 8. A slot whose range lies
//                 past the end of the file may hold anything.
//   Bitmap page (page type 0x05)
//     bytes 0-3   05 01 00 00
//     bytes 4-    bitmap of the slot's range, least significant bit first
//
// Access writes the row 133 bytes long in Jet 3 (a 128-byte inline bitmap
// covers 1024 pages; 33 reference slots) and 69 bytes in Jet 4 (64 bytes,
// 512 pages; 17 slots); the encoder does the same. The global free-page map
// marks free pages, and counts every page it does not cover as free.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/row_pointer.h"
#include "jet/format/table_def.h"

namespace jet {

enum class UsageMapKind : std::uint8_t { Inline = 0, Reference = 1 };

struct UsageMap {
  UsageMapKind kind = UsageMapKind::Inline;
  // Inline: the first page and the number of pages the bitmap covers.
  std::uint32_t start_page = 0;
  std::uint32_t inline_page_count = 0;
  // Reference: the bitmap page of each slot, 0 where none.
  std::vector<std::uint32_t> map_pages;
  // Reference slots that name a page although their range starts past the
  // end of the file: Access leaves such values in slots it has no use for
  // (0xFFFFFF80 in the last slot of a free-page map has been seen). They
  // are not followed, and stand as 0 in map_pages.
  std::uint32_t stale_slots = 0;
  // The pages in the map that lie inside the file, ascending.
  std::vector<std::uint32_t> pages;
  // Set bits naming pages past the end of the file (a damaged or stale map).
  std::uint32_t pages_beyond_file = 0;

  bool contains(std::uint32_t page) const;
  // Whether the map says anything about the page; the free-page map counts
  // uncovered pages as free.
  bool covers(std::uint32_t page, Version version) const;
};

// Decodes a map row; a reference map's bitmap pages are read through source
// (each must be a type-0x05 page inside the file). `where` labels errors.
UsageMap decode_usage_map(Version version, Bytes row, RowPointer where, std::uint32_t page_count,
                          const PageSource& source);

// Follows the pointer to its row of a data page and decodes it. A pointer
// outside the file, a page of another kind, a missing or deleted row raise
// Corrupt.
UsageMap read_usage_map(Version version, RowPointer pointer, std::uint32_t page_count, const PageSource& source);

// The global free-page map: row 0 of page 1.
UsageMap read_free_page_map(Version version, std::uint32_t page_count, const PageSource& source);

// The map of `pages` (ascending, no duplicates) as Access lays it out: inline
// when the pages fit one inline bitmap, otherwise a reference map whose
// bitmap pages come from allocate_page, in slot order. The map covers at
// least pages 0 to cover_until - 1 (the free-page map must cover the whole
// file, since it counts what it does not cover as free); an inline map
// otherwise starts at the first page.
struct EncodedUsageMap {
  std::vector<std::uint8_t> row;
  std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> bitmap_pages;  // number, bytes
};
EncodedUsageMap encode_usage_map(Version version, std::span<const std::uint32_t> pages,
                                 const std::function<std::uint32_t()>& allocate_page,
                                 std::uint32_t cover_until = 0);

// Sizes, per format.
constexpr std::size_t usage_map_row_size(Version v) { return is_jet4(v) ? 69 : 133; }
constexpr std::uint32_t inline_map_page_span(Version v) {
  return static_cast<std::uint32_t>((usage_map_row_size(v) - 5) * 8);
}
constexpr std::uint32_t reference_map_page_span(Version v) { return (page_size(v) - 4) * 8; }

}  // namespace jet
