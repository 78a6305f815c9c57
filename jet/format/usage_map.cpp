#include "jet/format/usage_map.h"

#include <algorithm>

#include "jet/format/data_page.h"

namespace jet {

namespace {

constexpr std::string_view kStructure = "usage map";
constexpr std::size_t kBitmapPageHeader = 4;

// Adds the set bits of a bitmap whose bit 0 stands for page `first`.
void collect_bits(Bytes bitmap, std::uint64_t first, std::uint32_t page_count, UsageMap& map) {
  for (std::size_t byte = 0; byte < bitmap.size(); ++byte) {
    if (bitmap[byte] == 0) continue;
    for (int bit = 0; bit < 8; ++bit) {
      if (!(bitmap[byte] & (1u << bit))) continue;
      const std::uint64_t page = first + byte * 8 + bit;
      if (page < page_count) {
        map.pages.push_back(static_cast<std::uint32_t>(page));
      } else {
        ++map.pages_beyond_file;
      }
    }
  }
}

void set_bit(std::vector<std::uint8_t>& bytes, std::size_t bitmap_start, std::uint64_t index) {
  bytes[bitmap_start + index / 8] |= static_cast<std::uint8_t>(1u << (index % 8));
}

}  // namespace

bool UsageMap::contains(std::uint32_t page) const { return std::binary_search(pages.begin(), pages.end(), page); }

bool UsageMap::covers(std::uint32_t page, Version version) const {
  if (kind == UsageMapKind::Inline) return page >= start_page && page - start_page < inline_page_count;
  const std::size_t slot = page / reference_map_page_span(version);
  return slot < map_pages.size() && map_pages[slot] != 0;
}

UsageMap decode_usage_map(Version version, Bytes row, RowPointer where, std::uint32_t page_count,
                          const PageSource& source) {
  const ByteReader in(row, where.page, kStructure);
  UsageMap map;
  const std::uint8_t kind = in.u8(0, "map type");
  if (kind == static_cast<std::uint8_t>(UsageMapKind::Inline)) {
    map.kind = UsageMapKind::Inline;
    map.start_page = in.u32(1, "start page");
    const Bytes bitmap = in.bytes(5, row.size() - std::min<std::size_t>(row.size(), 5), "bitmap");
    map.inline_page_count = static_cast<std::uint32_t>(bitmap.size() * 8);
    collect_bits(bitmap, map.start_page, page_count, map);
    return map;
  }
  if (kind != static_cast<std::uint8_t>(UsageMapKind::Reference)) {
    in.fail("map type", "is " + std::to_string(kind) + ", neither inline (0) nor reference (1)");
  }
  map.kind = UsageMapKind::Reference;
  const std::uint32_t span = reference_map_page_span(version);
  for (std::size_t slot = 0; 1 + 4 * (slot + 1) <= row.size(); ++slot) {
    const std::string field = "bitmap page " + std::to_string(slot);
    const std::uint32_t page = in.u32(1 + 4 * slot, field);
    const bool stale = page != 0 && static_cast<std::uint64_t>(slot) * span >= page_count;
    map.stale_slots += stale;
    map.map_pages.push_back(stale ? 0 : page);
    if (page == 0 || stale) continue;
    if (page >= page_count) in.fail(field, "is page " + std::to_string(page) + ", past the end of the file");
    const std::vector<std::uint8_t> bytes = source(page);
    const ByteReader bitmap_page(bytes, page, "usage map page");
    const std::uint8_t type = bitmap_page.u8(0, "page type");
    if (type != static_cast<std::uint8_t>(PageType::UsageMap)) {
      bitmap_page.fail("page type", "is " + std::to_string(type) + ", not a usage map page (5)");
    }
    collect_bits(bitmap_page.bytes(kBitmapPageHeader, bytes.size() - kBitmapPageHeader, "bitmap"),
                 static_cast<std::uint64_t>(slot) * span, page_count, map);
  }
  std::sort(map.pages.begin(), map.pages.end());
  map.pages.erase(std::unique(map.pages.begin(), map.pages.end()), map.pages.end());
  return map;
}

UsageMap read_usage_map(Version version, RowPointer pointer, std::uint32_t page_count, const PageSource& source) {
  if (pointer.page == 0 || pointer.page >= page_count) {
    throw_corrupt(pointer.page, std::string(kStructure), "pointer",
                  "names page " + std::to_string(pointer.page) + ", outside the file's " +
                      std::to_string(page_count) + " pages");
  }
  const std::vector<std::uint8_t> page = source(pointer.page);
  const DataPage header = decode_data_page(page, version, pointer.page);
  if (pointer.row < header.slots.size() && header.slots[pointer.row].deleted()) {
    throw_corrupt(pointer.page, "data page", "row " + std::to_string(pointer.row) + " offset",
                  "the usage map's row is deleted");
  }
  const Bytes row = row_bytes(page, header, pointer.row, version, pointer.page);
  return decode_usage_map(version, row, pointer, page_count, source);
}

UsageMap read_free_page_map(Version version, std::uint32_t page_count, const PageSource& source) {
  return read_usage_map(version, RowPointer{1, 0}, page_count, source);
}

EncodedUsageMap encode_usage_map(Version version, std::span<const std::uint32_t> pages,
                                 const std::function<std::uint32_t()>& allocate_page, std::uint32_t cover_until) {
  EncodedUsageMap out;
  out.row.assign(usage_map_row_size(version), 0);
  const std::uint32_t inline_span = inline_map_page_span(version);
  const std::uint32_t first = cover_until > 0 || pages.empty() ? 0 : pages.front();
  const std::uint64_t last = std::max<std::uint64_t>(pages.empty() ? 0 : pages.back() + 1ull, cover_until);
  if (last - first <= inline_span) {
    out.row[0] = static_cast<std::uint8_t>(UsageMapKind::Inline);
    store_u32(&out.row[1], first);
    for (std::uint32_t page : pages) set_bit(out.row, 5, page - first);
    return out;
  }

  out.row[0] = static_cast<std::uint8_t>(UsageMapKind::Reference);
  const std::uint32_t span = reference_map_page_span(version);
  const std::size_t slots = (out.row.size() - 1) / 4;
  const std::uint64_t needed_slots = (last + span - 1) / span;
  if (needed_slots > slots) {
    throw Error(ErrorCode::LimitExceeded, "a usage map cannot reach page " + std::to_string(last - 1));
  }
  std::size_t next = 0;  // index into pages
  for (std::size_t slot = 0; slot < needed_slots; ++slot) {
    const std::uint64_t begin = static_cast<std::uint64_t>(slot) * span;
    const std::uint64_t end = begin + span;
    const bool has_pages = next < pages.size() && pages[next] < end;
    if (!has_pages && begin >= cover_until) continue;
    std::vector<std::uint8_t> bitmap(page_size(version), 0);
    bitmap[0] = static_cast<std::uint8_t>(PageType::UsageMap);
    bitmap[1] = 0x01;
    for (; next < pages.size() && pages[next] < end; ++next) set_bit(bitmap, kBitmapPageHeader, pages[next] - begin);
    const std::uint32_t number = allocate_page();
    store_u32(&out.row[1 + 4 * slot], number);
    out.bitmap_pages.emplace_back(number, std::move(bitmap));
  }
  return out;
}

}  // namespace jet
