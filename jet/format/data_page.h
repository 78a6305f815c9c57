// Data pages (type 0x01): the pages that hold a table's rows, and (marked
// "LVAL" in place of the owning table) long values.
//
//   Jet 3                          Jet 4
//   0x00  1  01 (page type)        0x00  1  01
//   0x01  1  01                    0x01  1  01
//   0x02  2  free space            0x02  2  free space
//   0x04  4  owning TDEF page      0x04  4  owning TDEF page
//   0x08  2  row count             0x08  4  unknown (written as zero)
//   0x0A     row offsets           0x0C  2  row count
//                                  0x0E     row offsets
//
// Each row offset is 2 bytes: bits 0-12 the row's start within the page,
// 0x8000 the row is deleted, 0x4000 the row holds only a pointer to where the
// row now lives (4 bytes: row number, 3-byte page). Rows are packed from the
// end of the page downward in row-number order, so row n ends where row n-1
// starts (row 0 at the page's end).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/row_pointer.h"

namespace jet {

constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowOverflow = 0x4000;
constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // "LVAL"
constexpr std::size_t kMaxRowsPerPage = 255;

struct RowSlot {
  std::uint16_t raw = 0;

  std::uint16_t offset() const { return raw & kRowOffsetMask; }
  bool deleted() const { return (raw & kRowDeleted) != 0; }
  bool overflow() const { return (raw & kRowOverflow) != 0; }
};

struct DataPage {
  std::uint16_t free_space = 0;
  std::uint32_t owner = 0;  // TDEF page of the owning table, or "LVAL"
  std::uint32_t jet4_unknown = 0;
  std::vector<RowSlot> slots;

  bool holds_long_values() const { return owner == kLongValueOwner; }
};

// Where the header's fields lie (the table above).
constexpr std::size_t kDataPageFreeSpaceOffset = 0x02;
constexpr std::size_t kDataPageOwnerOffset = 0x04;
constexpr std::size_t kJet4DataPageUnknownOffset = 0x08;
constexpr std::size_t data_page_row_count_offset(Version v) { return v == Version::Jet3 ? 0x08 : 0x0C; }
// Size of the page header before the row offsets.
constexpr std::size_t data_page_header_size(Version v) { return v == Version::Jet3 ? 10 : 14; }

// Decodes a data page's header and row offsets; page_number labels errors.
DataPage decode_data_page(Bytes page, Version version, std::uint32_t page_number);
// The same into `out`, whose memory for the row offsets is reused. After an
// error `out` holds nothing of use.
void decode_data_page_into(Bytes page, Version version, std::uint32_t page_number, DataPage& out);

// The bytes of row `row` of a decoded page. Raises Corrupt when the row's
// bounds leave the page, overlap the offset table or run backwards.
Bytes row_bytes(Bytes page, const DataPage& header, std::size_t row, Version version,
                std::uint32_t page_number);

// Where an overflow row's pointer leads.
RowPointer decode_overflow_pointer(Bytes row, std::uint32_t page_number);

// A row as its page holds it: its bytes, and whether they are only a pointer
// to where the row now lives.
struct SlotRow {
  Bytes bytes;
  bool overflow = false;
};

// Row `row` of a decoded page with its overflow flag, bounds checked as
// row_bytes checks them.
SlotRow slot_row(Bytes page, const DataPage& header, std::size_t row, Version version, std::uint32_t page_number);

// A row that outgrows its page moves: its home slot keeps a pointer to the
// new place, and the row there is flagged deleted so that a walk over the
// pages meets it once. Access moving it again rewrites the home pointer
// rather than leaving a pointer behind, so a file Access wrote needs one
// hop. A pointer leading to another pointer is damage (or another writer's
// shortcut); readers still follow a few, which recovers the row at no risk,
// while a longer chain in a damaged file is likelier garbage than a row.
constexpr std::size_t kMaxOverflowHops = 4;

// Where an overflow row leads, and how many pointers led there.
struct MovedRow {
  Bytes bytes;
  RowPointer at;
  std::size_t hops = 0;
};

// Gives the row a pointer leads to; its bytes stay valid until the next
// call. Raises its own error for a page or row that is not there.
using SlotRowFetcher = std::function<SlotRow(RowPointer at)>;

// Follows the pointer of overflow row `home`, whose bytes are `pointer`, to
// the row itself. Raises Corrupt naming home's page, structure "data page",
// field "row N overflow pointer", when a pointer is cut short, leads to page
// 0 (the header), leads back to a row it passed, or leads on for more than
// kMaxOverflowHops pointers.
MovedRow follow_overflow_row(RowPointer home, Bytes pointer, const SlotRowFetcher& fetch);

struct PackedRow {
  std::vector<std::uint8_t> data;
  std::uint16_t flags = 0;  // kRowDeleted and/or kRowOverflow
};

// Lays a data page out in place, one row at a time, as encode_data_page
// does: each row below the one before it, from the end of the page. The
// caller checks that a row fits (data_page_free_space) before adding it.
class DataPageBuilder {
 public:
  DataPageBuilder(Version version, std::uint32_t owner) : version_(version), owner_(owner) {}

  // Starts an empty page.
  void reset();
  std::size_t row_count() const { return row_count_; }
  std::size_t row_bytes() const { return page_.size() - end_; }
  // Adds a row made of head then body (a chain row's pointer, then its
  // data, without joining them first).
  void add(Bytes head, Bytes body, std::uint16_t flags = 0);
  // Adds a row of head then body_size bytes that the caller fills in the
  // place returned (its bytes unspecified until then), for a row that
  // arrives in pieces; the place is valid until the next reset.
  MutableBytes reserve(Bytes head, std::size_t body_size, std::uint16_t flags = 0);
  // The page with its header written; valid until the next reset.
  Bytes finish();

 private:
  Version version_;
  std::uint32_t owner_;
  // Kept from page to page: the bytes no row or header field covers are
  // zeroed when the page is finished.
  std::vector<std::uint8_t> page_;
  std::size_t end_ = 0;  // where the last row added starts
  std::size_t row_count_ = 0;
};

// Free space a page would have after holding rows of the given total size.
std::size_t data_page_free_space(Version version, std::size_t row_count, std::size_t row_bytes);

// A data page owned by `owner` holding rows in row-number order. Raises
// LimitExceeded when they do not fit.
std::vector<std::uint8_t> encode_data_page(Version version, std::uint32_t owner,
                                           std::span<const PackedRow> rows);

}  // namespace jet
