#include "jet/format/index_page.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <string_view>

namespace jet {

namespace {

constexpr std::size_t kRowPointerSize = 4;  // 3-byte page + row
constexpr std::size_t kChildSize = 4;

std::size_t trailer_size(bool leaf) { return kRowPointerSize + (leaf ? 0 : kChildSize); }

std::string_view structure_name(bool leaf) { return leaf ? "index leaf" : "index intermediate page"; }

std::uint32_t load_u24_be(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
}

std::uint32_t load_u32_be(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | load_u24_be(p + 1);
}

void append_u32_be(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
  for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// Splits a fully written-out entry into key, row pointer and child.
void split_entry(Bytes record, bool leaf, IndexEntry& entry) {
  const std::size_t key_size = record.size() - trailer_size(leaf);
  entry.key.assign(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(key_size));
  const std::uint8_t* pointer = record.data() + key_size;
  entry.row = RowPointer{load_u24_be(pointer), pointer[3]};
  entry.child = leaf ? 0 : load_u32_be(pointer + kRowPointerSize);
}

// The longest prefix all entries share, never reaching a row byte (two
// entries with the same key and page differ in the row at the latest), nor
// longer than the format's header field can name.
std::size_t shared_prefix_length(Version v, const IndexRecords& records, bool leaf) {
  if (records.count() < 2) return 0;
  std::size_t limit = max_shared_prefix(v);
  for (std::size_t i = 0; i < records.count(); ++i) limit = std::min(limit, records[i].size() - trailer_size(leaf) + 3);
  const Bytes first = records[0];
  std::size_t length = limit;
  for (std::size_t i = 1; i < records.count() && length > 0; ++i) {
    const Bytes r = records[i];
    std::size_t n = 0;
    while (n < length && first[n] == r[n]) ++n;
    length = n;
  }
  return length;
}

}  // namespace

std::size_t index_page_capacity(Version v) {
  const IndexPageLayout layout = index_page_layout(v);
  return std::min(page_size(v) - layout.entries, layout.bitmap_size * 8 - 1);
}

std::strong_ordering IndexEntry::compare_keys(Bytes a, Bytes b) {
  const std::size_t n = std::min(a.size(), b.size());
  if (n > 0) {
    // Unsigned bytewise, as memcmp compares.
    if (const int order = std::memcmp(a.data(), b.data(), n); order != 0) return order <=> 0;
  }
  return a.size() <=> b.size();
}

std::size_t index_entry_size(const IndexEntry& entry, bool leaf) { return entry.key.size() + trailer_size(leaf); }

void append_index_entry(std::vector<std::uint8_t>& out, const IndexEntry& entry, bool leaf) {
  out.insert(out.end(), entry.key.begin(), entry.key.end());
  append_u32_be(out, entry.row.page, 3);
  out.push_back(entry.row.row);
  if (!leaf) append_u32_be(out, entry.child, 4);
}

IndexPage decode_index_page(Version v, std::uint32_t page_number, Bytes bytes) {
  IndexPage page;
  decode_index_page_into(v, page_number, bytes, page);
  return page;
}

void decode_index_page_into(Version v, std::uint32_t page_number, Bytes bytes, IndexPage& page) {
  const IndexPageLayout layout = index_page_layout(v);
  ByteReader reader(bytes, page_number, "index page");
  const std::uint8_t type = reader.u8(0, "page type");
  if (type != static_cast<std::uint8_t>(PageType::IndexLeaf) &&
      type != static_cast<std::uint8_t>(PageType::IndexIntermediate)) {
    reader.fail("page type", "is " + std::to_string(type) + ", not an index page (3 or 4)");
  }
  page.leaf = type == static_cast<std::uint8_t>(PageType::IndexLeaf);
  ByteReader r(bytes, page_number, structure_name(page.leaf));
  page.table_page = r.u32(layout.table_page, "table definition page");
  page.prev_page = r.u32(layout.prev_page, "previous page");
  page.next_page = r.u32(layout.next_page, "next page");
  page.tail_page = r.u32(layout.tail_page, "tail page");
  page.prefix_length = layout.prefix_width == 1 ? r.u8(layout.prefix_length, "shared prefix length")
                                                : r.u16(layout.prefix_length, "shared prefix length");
  page.level = r.u8(layout.level, "tree level");
  const Bytes bitmap = r.bytes(layout.bitmap, layout.bitmap_size, "entry-end bitmap");
  const Bytes area = r.bytes(layout.entries, bytes.size() - std::min(bytes.size(), layout.entries), "entries");

  // Entries are decoded over the ones `page` held before; `count` of them
  // are this page's so far. An entry, its shared prefix put back, is never
  // longer than the page it came from: the prefix and the rest of an entry
  // are two separate stretches of the entry area.
  std::size_t count = 0;
  std::array<std::uint8_t, page_size(Version::Jet4)> record;
  Bytes prefix;
  std::size_t start = 0;
  // Each set bit of the bitmap ends an entry; most bytes have none.
  for (std::size_t byte = 0; byte < bitmap.size(); ++byte) {
    for (unsigned bits = bitmap[byte]; bits != 0; bits &= bits - 1) {
      const std::size_t bit = byte * 8 + static_cast<std::size_t>(std::countr_zero(bits));
      const std::size_t index = count;
      const auto field = [index] { return "entry " + std::to_string(index); };
      if (bit > area.size()) {
        r.fail("entry-end bitmap", "marks an entry ending at " + std::to_string(bit) + ", past the " +
                                       std::to_string(area.size()) + " bytes of the entry area");
      }
      if (bit == start) r.fail("entry-end bitmap", "marks an empty entry at " + std::to_string(bit));
      const Bytes stored = area.subspan(start, bit - start);
      if (index == 0) {
        if (page.prefix_length > stored.size()) {
          r.fail("shared prefix length", std::to_string(page.prefix_length) + " is longer than the first entry (" +
                                             std::to_string(stored.size()) + " bytes)");
        }
        prefix = stored.first(page.prefix_length);
      }
      // The first entry is stored whole; the others without the prefix.
      const std::size_t head = index == 0 ? 0 : prefix.size();
      if (head + stored.size() > record.size()) r.fail(field(), "is longer than a page");
      std::copy(prefix.begin(), prefix.begin() + static_cast<std::ptrdiff_t>(head), record.begin());
      std::copy(stored.begin(), stored.end(), record.begin() + static_cast<std::ptrdiff_t>(head));
      const Bytes whole(record.data(), head + stored.size());
      if (whole.size() <= trailer_size(page.leaf)) {
        r.fail(field(), "is " + std::to_string(whole.size()) + " bytes, too short for a key and its pointers");
      }
      if (page.entries.size() <= index) page.entries.emplace_back();
      IndexEntry& entry = page.entries[index];
      split_entry(whole, page.leaf, entry);
      if (!page.leaf && entry.child == 0) r.fail(field(), "names no child page");
      if (index > 0 && !(page.entries[index - 1] < entry)) r.fail(field(), "is not after the entry before it");
      ++count;
      start = bit;
    }
  }
  page.entries.resize(count);
  if (count == 0 && page.prefix_length != 0) {
    r.fail("shared prefix length", "is " + std::to_string(page.prefix_length) + " on a page without entries");
  }
}

namespace {
IndexRecords records_of(const IndexPage& page) {
  IndexRecords records;
  std::vector<std::uint8_t> record;
  for (const auto& e : page.entries) {
    record.clear();
    append_index_entry(record, e, page.leaf);
    records.append(record);
  }
  return records;
}
}  // namespace

std::size_t compressed_entries_size(Version v, const IndexPage& page) {
  const IndexRecords records = records_of(page);
  std::size_t total = 0;
  for (std::size_t i = 0; i < records.count(); ++i) total += records[i].size();
  const std::size_t prefix = shared_prefix_length(v, records, page.leaf);
  return total - prefix * (records.empty() ? 0 : records.count() - 1);
}

std::vector<std::uint8_t> encode_index_page(Version v, const IndexPage& page) {
  std::vector<std::uint8_t> out;
  encode_index_page_into(v, page, records_of(page), out);
  return out;
}

void encode_index_page_into(Version v, const IndexPage& page, const IndexRecords& records,
                            std::vector<std::uint8_t>& out) {
  const IndexPageLayout layout = index_page_layout(v);
  const std::size_t prefix = shared_prefix_length(v, records, page.leaf);

  out.assign(page_size(v), 0);
  std::size_t offset = 0;
  for (std::size_t i = 0; i < records.count(); ++i) {
    const Bytes record = records[i].subspan(i == 0 ? 0 : prefix);
    if (offset + record.size() > index_page_capacity(v)) {
      throw Error(ErrorCode::LimitExceeded, Location{std::nullopt, std::string(structure_name(page.leaf)), "entries"},
                  "entries need more than the " + std::to_string(index_page_capacity(v)) + " bytes a page holds");
    }
    std::copy(record.begin(), record.end(), out.begin() + static_cast<std::ptrdiff_t>(layout.entries + offset));
    offset += record.size();
    out[layout.bitmap + offset / 8] |= static_cast<std::uint8_t>(1u << (offset % 8));
  }

  out[0] = static_cast<std::uint8_t>(page.leaf ? PageType::IndexLeaf : PageType::IndexIntermediate);
  out[1] = 0x01;
  store_u16(&out[2], static_cast<std::uint16_t>(page_size(v) - layout.entries - offset));
  store_u32(&out[layout.table_page], page.table_page);
  store_u32(&out[layout.prev_page], page.prev_page);
  store_u32(&out[layout.next_page], page.next_page);
  store_u32(&out[layout.tail_page], page.tail_page);
  if (layout.prefix_width == 1) {
    out[layout.prefix_length] = static_cast<std::uint8_t>(prefix);
  } else {
    store_u16(&out[layout.prefix_length], static_cast<std::uint16_t>(prefix));
  }
  out[layout.level] = page.level;
}

}  // namespace jet
