// Index pages (types 0x03 intermediate, 0x04 leaf): one node of a real
// index's B-tree, with its decoder and encoder.
//
// Header (little-endian)                   Jet 3   Jet 4
//   page type 0x03 / 0x04                    0       0
//   0x01                                     1       1
//   free space on the page                   2-3     2-3
//   owning table's TDEF page                 4-7     4-7
//   reserved (0)                             -       8-11
//   previous page on the same level          8-11    12-15
//   next page on the same level              12-15   16-19
//   tail page (intermediate pages only)      16-19   20-23
//   shared prefix length                     20      24-25
//   tree level (0 leaf, 1 above leaves, ..)  21      26
//   entry-end bitmap                         22-247  27-479   (226 / 453 bytes)
//   entries                                  248-    480-
//
// Jet 3 keeps the prefix length in one byte and the level in the next; read
// as one 16-bit field, an intermediate page's level 1 turns a prefix of 0
// into 256.
//
// Entries are stored back to back. Each one, written out in full, is
//   key bytes (per key column a flag byte and the encoded value, see
//              index_key.h)
//   data page   3 bytes, big-endian
//   data row    1 byte
//   child page  4 bytes, big-endian (intermediate pages only)
// The first entry on a page is stored whole; every later one omits the first
// `prefix length` bytes, which it shares with the first. The shared prefix may
// run into the data page bytes. Bit n of the bitmap (LSB first) is set where
// an entry ends n bytes after the start of the entry area.
//
// An intermediate entry repeats the last leaf entry below its child and
// names that child. The tail page is the last child of an intermediate page;
// it has no entry of its own (Access writes the tail only once a page has at
// least two children). Entries are ordered by key bytes (unsigned), then by
// data page and row.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/format/format.h"
#include "jet/format/row_pointer.h"

namespace jet {

struct IndexPageLayout {
  std::size_t table_page;
  std::size_t prev_page;
  std::size_t next_page;
  std::size_t tail_page;
  std::size_t prefix_length;
  std::size_t prefix_width;  // bytes
  std::size_t level;
  std::size_t bitmap;
  std::size_t bitmap_size;
  std::size_t entries;
};

constexpr IndexPageLayout index_page_layout(Version v) {
  return v == Version::Jet3 ? IndexPageLayout{4, 8, 12, 16, 20, 1, 21, 22, 226, 248}
                            : IndexPageLayout{4, 12, 16, 20, 24, 2, 26, 27, 453, 480};
}

// The longest shared prefix the header's field can name.
constexpr std::size_t max_shared_prefix(Version v) {
  return (std::size_t{1} << (8 * index_page_layout(v).prefix_width)) - 1;
}

// The most entry bytes (after prefix compression) one page can hold: bounded
// both by the space left on the page and by the bits of the bitmap.
std::size_t index_page_capacity(Version v);

struct IndexEntry {
  std::vector<std::uint8_t> key;
  RowPointer row;
  std::uint32_t child = 0;  // intermediate entries only

  // The order of entries in an index: key bytes, then row.
  friend std::strong_ordering operator<=>(const IndexEntry& a, const IndexEntry& b) {
    if (auto c = compare_keys(a.key, b.key); c != 0) return c;
    return a.row <=> b.row;
  }
  friend bool operator==(const IndexEntry& a, const IndexEntry& b) = default;

  static std::strong_ordering compare_keys(Bytes a, Bytes b);
};

// The bytes of one entry as written out in full (before prefix compression).
std::size_t index_entry_size(const IndexEntry& entry, bool leaf);
void append_index_entry(std::vector<std::uint8_t>& out, const IndexEntry& entry, bool leaf);

struct IndexPage {
  bool leaf = true;
  std::uint32_t table_page = 0;
  std::uint32_t prev_page = 0;
  std::uint32_t next_page = 0;
  std::uint32_t tail_page = 0;
  std::uint8_t level = 0;
  std::vector<IndexEntry> entries;
  // As read; the encoder chooses its own (the longest the entries share).
  std::size_t prefix_length = 0;
};

// Decodes one index page. Raises a Corrupt error naming the page and field
// when the type, the bitmap, the prefix or an entry does not add up.
IndexPage decode_index_page(Version v, std::uint32_t page_number, Bytes page);

// The same into `out`, reusing the memory its entries already hold, so that
// a walk over many pages allocates only while its pages grow. After an
// error `out` holds nothing of use.
void decode_index_page_into(Version v, std::uint32_t page_number, Bytes page, IndexPage& out);

// The encoded size of the page's entries with the shared prefix taken out.
std::size_t compressed_entries_size(Version v, const IndexPage& page);

// Encodes the page with the longest shared prefix its entries allow. Raises
// LimitExceeded when the entries do not fit (see index_page_capacity).
std::vector<std::uint8_t> encode_index_page(Version v, const IndexPage& page);

// A page's entries written out in full (append_index_entry), back to back:
// what the encoder lays out. A writer that builds many pages keeps one and
// clears it for each page, so that no entry costs an allocation.
class IndexRecords {
 public:
  void clear() {
    bytes_.clear();
    ends_.clear();
  }
  void append(Bytes record) {
    bytes_.insert(bytes_.end(), record.begin(), record.end());
    ends_.push_back(bytes_.size());
  }
  std::size_t count() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  Bytes operator[](std::size_t i) const {
    const std::size_t start = i == 0 ? 0 : ends_[i - 1];
    return Bytes(bytes_.data() + start, ends_[i] - start);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::vector<std::size_t> ends_;
};

// encode_index_page for entries already written out: the page's header
// fields come from `header` (whose own entries are not read), its entries
// from `records`. The page replaces the contents of `out`.
void encode_index_page_into(Version v, const IndexPage& header, const IndexRecords& records,
                            std::vector<std::uint8_t>& out);

}  // namespace jet
