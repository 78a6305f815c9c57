#include "jet/format/data_page.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace jet {

DataPage decode_data_page(Bytes page, Version version, std::uint32_t page_number) {
  DataPage d;
  decode_data_page_into(page, version, page_number, d);
  return d;
}

void decode_data_page_into(Bytes page, Version version, std::uint32_t page_number, DataPage& d) {
  ByteReader r(page, page_number, "data page");
  if (r.u8(0, "page type") != static_cast<std::uint8_t>(PageType::Data)) {
    r.fail("page type", "expected a data page (01), found " + std::to_string(page[0]));
  }
  d.free_space = r.u16(kDataPageFreeSpaceOffset, "free space");
  d.owner = r.u32(kDataPageOwnerOffset, "owning table");
  d.jet4_unknown = version == Version::Jet4 ? r.u32(kJet4DataPageUnknownOffset, "unknown") : 0;
  std::uint16_t count = r.u16(data_page_row_count_offset(version), "row count");
  std::size_t table_end = data_page_header_size(version) + 2u * count;
  if (count > kMaxRowsPerPage || table_end > page.size()) {
    r.fail("row count", std::to_string(count) + " rows cannot fit on a page");
  }
  d.slots.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    d.slots[i].raw = r.u16(data_page_header_size(version) + 2 * i, "row offset");
  }
}

Bytes row_bytes(Bytes page, const DataPage& header, std::size_t row, Version version,
                std::uint32_t page_number) {
  ByteReader r(page, page_number, "data page");
  if (row >= header.slots.size()) {
    r.fail("row number", "row " + std::to_string(row) + " does not exist (the page has " +
                             std::to_string(header.slots.size()) + " rows)");
  }
  std::size_t start = header.slots[row].offset();
  std::size_t end = row == 0 ? page.size() : header.slots[row - 1].offset();
  std::size_t table_end = data_page_header_size(version) + 2 * header.slots.size();
  // The field's name is built only for a failure: this runs for every row.
  const auto field = [row] { return "row " + std::to_string(row) + " offset"; };
  if (start < table_end) {
    r.fail(field(), "row starts at " + std::to_string(start) + ", inside the row offset table");
  }
  if (end > page.size() || start > end) {
    r.fail(field(), "row runs from " + std::to_string(start) + " to " + std::to_string(end));
  }
  return page.subspan(start, end - start);
}

RowPointer decode_overflow_pointer(Bytes row, std::uint32_t page_number) {
  ByteReader r(row, page_number, "overflow row");
  return RowPointer::from_u32(r.u32(0, "row pointer"));
}

SlotRow slot_row(Bytes page, const DataPage& header, std::size_t row, Version version, std::uint32_t page_number) {
  return SlotRow{row_bytes(page, header, row, version, page_number), header.slots[row].overflow()};
}

MovedRow follow_overflow_row(RowPointer home, Bytes pointer, const SlotRowFetcher& fetch) {
  const auto refuse = [home](const std::string& what) {
    throw_corrupt(home.page, "data page", "row " + std::to_string(home.row) + " overflow pointer", what);
  };
  const auto text = [](RowPointer at) {
    return "row " + std::to_string(at.row) + " of page " + std::to_string(at.page);
  };
  std::array<RowPointer, kMaxOverflowHops + 1> passed{home};
  MovedRow moved{pointer, home, 0};
  for (bool overflow = true; overflow;) {
    if (moved.hops == kMaxOverflowHops) {
      refuse("pointers lead on for more than " + std::to_string(kMaxOverflowHops) + " hops");
    }
    if (moved.bytes.size() < 4) refuse("the pointer at " + text(moved.at) + " is cut short");
    const RowPointer next = load_row_pointer(moved.bytes.data());
    if (next.page == 0) refuse("leads to page 0, the header");
    const auto seen = passed.begin() + static_cast<std::ptrdiff_t>(moved.hops) + 1;
    if (std::find(passed.begin(), seen, next) != seen) refuse("leads back to " + text(next) + ", a loop");
    const SlotRow row = fetch(next);
    passed[++moved.hops] = next;
    moved.bytes = row.bytes;
    moved.at = next;
    overflow = row.overflow;
  }
  return moved;
}

std::size_t data_page_free_space(Version version, std::size_t row_count, std::size_t row_bytes) {
  std::size_t used = data_page_header_size(version) + 2 * row_count + row_bytes;
  std::size_t size = page_size(version);
  return used > size ? 0 : size - used;
}

void DataPageBuilder::reset() {
  if (page_.size() != page_size(version_)) page_.assign(page_size(version_), 0);
  end_ = page_.size();
  row_count_ = 0;
}

void DataPageBuilder::add(Bytes head, Bytes body, std::uint16_t flags) {
  const MutableBytes place = reserve(head, body.size(), flags);
  std::copy(body.begin(), body.end(), place.begin());
}

MutableBytes DataPageBuilder::reserve(Bytes head, std::size_t body_size, std::uint16_t flags) {
  const std::size_t start = end_ - head.size() - body_size;
  std::copy(head.begin(), head.end(), page_.begin() + static_cast<std::ptrdiff_t>(start));
  store_u16(page_.data() + data_page_header_size(version_) + 2 * row_count_, static_cast<std::uint16_t>(start | flags));
  end_ = start;
  ++row_count_;
  return MutableBytes(page_.data() + start + head.size(), body_size);
}

Bytes DataPageBuilder::finish() {
  // Between the row offsets and the rows: what the page before left there.
  const std::size_t table_end = data_page_header_size(version_) + 2 * row_count_;
  std::fill(page_.begin() + static_cast<std::ptrdiff_t>(table_end), page_.begin() + static_cast<std::ptrdiff_t>(end_), 0);
  page_[0] = static_cast<std::uint8_t>(PageType::Data);
  page_[1] = kPageMark;
  store_u16(page_.data() + kDataPageFreeSpaceOffset,
            static_cast<std::uint16_t>(data_page_free_space(version_, row_count_, row_bytes())));
  store_u32(page_.data() + kDataPageOwnerOffset, owner_);
  store_u16(page_.data() + data_page_row_count_offset(version_), static_cast<std::uint16_t>(row_count_));
  return page_;
}

std::vector<std::uint8_t> encode_data_page(Version version, std::uint32_t owner,
                                           std::span<const PackedRow> rows) {
  std::size_t total = 0;
  for (const auto& row : rows) total += row.data.size();
  if (rows.size() > kMaxRowsPerPage ||
      data_page_header_size(version) + 2 * rows.size() + total > page_size(version)) {
    throw Error(ErrorCode::LimitExceeded,
                std::to_string(rows.size()) + " rows of " + std::to_string(total) +
                    " bytes do not fit on one data page");
  }
  DataPageBuilder builder(version, owner);
  builder.reset();
  for (const auto& row : rows) builder.add({}, row.data, row.flags);
  const Bytes page = builder.finish();
  return std::vector<std::uint8_t>(page.begin(), page.end());
}

}  // namespace jet
