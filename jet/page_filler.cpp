#include "jet/page_filler.h"

#include "jet/error.h"

namespace jet {

PageFiller::PageFiller(Version version, std::uint32_t owner, PageAllocator& allocator, File& out)
    : version_(version), owner_(owner), allocator_(allocator), out_(out) {}

std::size_t PageFiller::max_row_size() const { return page_size(version_) - data_page_header_size(version_) - 2; }

RowPointer PageFiller::add(std::vector<std::uint8_t> row) {
  if (row.size() > max_row_size()) {
    throw Error(ErrorCode::LimitExceeded, "a row of " + std::to_string(row.size()) + " bytes does not fit a page");
  }
  std::size_t used = data_page_header_size(version_) + 2 * (open_rows_.size() + 1) + open_bytes_ + row.size();
  if (open_ && (open_rows_.size() >= kMaxRowsPerPage || used > page_size(version_))) flush();
  if (!open_) {
    pages_.push_back(allocator_.allocate());
    open_ = true;
  }
  open_bytes_ += row.size();
  open_rows_.push_back(PackedRow{std::move(row), 0});
  return RowPointer{pages_.back(), static_cast<std::uint8_t>(open_rows_.size() - 1)};
}

void PageFiller::flush() {
  if (!open_) return;
  std::vector<std::uint8_t> page = encode_data_page(version_, owner_, open_rows_);
  out_.write_at(std::uint64_t{pages_.back()} * page_size(version_), page);
  open_rows_.clear();
  open_bytes_ = 0;
  open_ = false;
}

}  // namespace jet
