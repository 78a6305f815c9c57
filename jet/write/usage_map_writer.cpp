#include "jet/write/usage_map_writer.h"

#include "jet/format/usage_map.h"

namespace jet {

namespace {

constexpr std::uint32_t kFreePageMapPage = 1;

void write_bitmap_pages(const EncodedUsageMap& map, PageStore& store) {
  for (const auto& [number, bytes] : map.bitmap_pages) store.write_page(number, bytes);
}

}  // namespace

std::vector<RowPointer> UsageMapWriter::write(std::span<const std::vector<std::uint32_t>> maps) {
  std::vector<RowPointer> pointers;
  for (const auto& pages : maps) {
    EncodedUsageMap map = encode_usage_map(version_, pages, [&] { return store_.allocate_page(); });
    write_bitmap_pages(map, store_);
    if (packer_.room() < map.row.size()) {
      finish();
      packer_.open(store_.allocate_page());
    }
    pointers.push_back(packer_.add(map.row));
  }
  return pointers;
}

void UsageMapWriter::finish() {
  if (!packer_.is_open()) return;
  const std::uint32_t number = packer_.page();
  store_.write_page(number, packer_.close());
}

std::uint32_t write_free_page_map(Version version, std::span<const std::uint32_t> free_pages,
                                  std::uint32_t page_count, PageStore& store) {
  // The map's own bitmap pages come after every other page, and must be
  // covered too: find how many there will be before encoding.
  std::uint32_t extra = 0;
  if (page_count > inline_map_page_span(version)) {
    const std::uint32_t span = reference_map_page_span(version);
    while (extra < (page_count + extra + span - 1) / span) ++extra;
  }
  const std::uint32_t final_count = page_count + extra;
  EncodedUsageMap map =
      encode_usage_map(version, free_pages, [&] { return store.allocate_page(); }, final_count);
  write_bitmap_pages(map, store);

  DataPagePacker packer(version, kFreePageMapPage);
  packer.open(kFreePageMapPage);
  const std::size_t row_size = map.row.size();
  packer.add(map.row);
  packer.add(std::vector<std::uint8_t>(row_size, 0));
  store.write_page(kFreePageMapPage, packer.close());
  return final_count;
}

}  // namespace jet
