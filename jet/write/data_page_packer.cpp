#include "jet/write/data_page_packer.h"

#include <algorithm>

#include "jet/base/error.h"

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
  builder_.reset();
}

std::size_t DataPagePacker::room() const {
  if (!is_open() || builder_.row_count() >= kMaxRowsPerPage) return 0;
  const std::size_t free = data_page_free_space(version_, builder_.row_count(), builder_.row_bytes());
  return free > kRowOffsetSize ? free - kRowOffsetSize : 0;
}

RowPointer DataPagePacker::add(Bytes head, Bytes body) {
  const ReservedRow row = reserve(head, body.size());
  std::copy(body.begin(), body.end(), row.body.begin());
  return row.at;
}

DataPagePacker::ReservedRow DataPagePacker::reserve(Bytes head, std::size_t body_size) {
  const std::size_t size = head.size() + body_size;
  if (size > room()) {
    throw Error(ErrorCode::LimitExceeded, "a row of " + std::to_string(size) + " bytes does not fit page " +
                                              std::to_string(page_) + " (room for " + std::to_string(room()) + ")");
  }
  const MutableBytes body = builder_.reserve(head, body_size);
  return ReservedRow{RowPointer{page_, static_cast<std::uint8_t>(builder_.row_count() - 1)}, body};
}

Bytes DataPagePacker::close() {
  if (!is_open()) throw Error(ErrorCode::InvalidArgument, "no data page is being filled");
  page_ = 0;
  return builder_.finish();
}

RowPointer DataPageStream::add(Bytes row) {
  if (row.size() > DataPagePacker::max_row_size(version_)) {
    throw Error(ErrorCode::LimitExceeded, "a row of " + std::to_string(row.size()) + " bytes is more than a page holds");
  }
  if (packer_.room() < row.size()) {
    finish();
    packer_.open(store_.allocate_page());
    pages_.push_back(packer_.page());
  }
  return packer_.add(row);
}

void DataPageStream::finish() {
  if (!packer_.is_open()) return;
  const std::uint32_t number = packer_.page();
  store_.write_page(number, packer_.close());
}

}  // namespace jet
