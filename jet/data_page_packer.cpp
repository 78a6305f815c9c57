#include "jet/data_page_packer.h"

#include "jet/error.h"

namespace jet {

namespace {
constexpr std::size_t kRowOffsetSize = 2;
}

std::size_t DataPagePacker::max_row_size(Version version) {
  return page_size(version) - data_page_header_size(version) - kRowOffsetSize;
}

void DataPagePacker::open(std::uint32_t number) {
  if (is_open()) throw Error(ErrorCode::InvalidArgument, "a data page is already being filled");
  page_ = number;
  used_ = 0;
  rows_.clear();
}

std::size_t DataPagePacker::room() const {
  if (!is_open() || rows_.size() >= kMaxRowsPerPage) return 0;
  const std::size_t free = data_page_free_space(version_, rows_.size(), used_);
  return free > kRowOffsetSize ? free - kRowOffsetSize : 0;
}

RowPointer DataPagePacker::add(std::vector<std::uint8_t> row) {
  if (row.size() > room()) {
    throw Error(ErrorCode::LimitExceeded, "a row of " + std::to_string(row.size()) + " bytes does not fit page " +
                                              std::to_string(page_) + " (room for " + std::to_string(room()) + ")");
  }
  used_ += row.size();
  rows_.push_back(PackedRow{std::move(row), 0});
  return RowPointer{page_, static_cast<std::uint8_t>(rows_.size() - 1)};
}

std::vector<std::uint8_t> DataPagePacker::close() {
  std::vector<std::uint8_t> bytes = encode_data_page(version_, owner_, rows_);
  page_ = 0;
  used_ = 0;
  rows_.clear();
  return bytes;
}

RowPointer DataPageStream::add(std::vector<std::uint8_t> row) {
  if (row.size() > DataPagePacker::max_row_size(version_)) {
    throw Error(ErrorCode::LimitExceeded, "a row of " + std::to_string(row.size()) + " bytes is more than a page holds");
  }
  if (packer_.room() < row.size()) {
    finish();
    packer_.open(store_.allocate_page());
    pages_.push_back(packer_.page());
  }
  return packer_.add(std::move(row));
}

void DataPageStream::finish() {
  if (!packer_.is_open()) return;
  const std::uint32_t number = packer_.page();
  store_.write_page(number, packer_.close());
}

}  // namespace jet
