#include "jet/page_writer.h"

namespace jet {

PageWriter::PageWriter(File& out, Version version, std::uint32_t first_free_page)
    : out_(out), version_(version), next_(first_free_page) {}

std::uint32_t PageWriter::allocate_page() {
  if (next_ >= 0xFFFFFF) throw Error(ErrorCode::LimitExceeded, "the database would exceed 16777215 pages");
  return next_++;
}

void PageWriter::write_page(std::uint32_t number, Bytes page) {
  if (page.size() != page_size(version_)) {
    throw Error(ErrorCode::InvalidArgument, "a page of " + std::to_string(page.size()) + " bytes");
  }
  out_.write_at(static_cast<std::uint64_t>(number) * page_size(version_), page);
}

DataPageStream::DataPageStream(PageWriter& writer, std::uint32_t owner) : writer_(writer), owner_(owner) {}

std::size_t DataPageStream::max_row_size(Version version) {
  return page_size(version) - data_page_header_size(version) - 2;
}

RowPointer DataPageStream::add(std::vector<std::uint8_t> row) {
  const Version version = writer_.version();
  if (row.size() > max_row_size(version)) {
    throw Error(ErrorCode::LimitExceeded, "a row of " + std::to_string(row.size()) + " bytes does not fit a page");
  }
  const std::size_t used = data_page_header_size(version) + 2 * (rows_.size() + 1) + row_bytes_ + row.size();
  if (!rows_.empty() && (used > page_size(version) || rows_.size() == kMaxRowsPerPage)) flush();
  if (rows_.empty()) current_ = writer_.allocate_page();
  row_bytes_ += row.size();
  rows_.push_back(PackedRow{std::move(row), 0});
  return RowPointer{current_, static_cast<std::uint8_t>(rows_.size() - 1)};
}

void DataPageStream::finish() {
  if (!rows_.empty()) flush();
}

void DataPageStream::flush() {
  const std::vector<std::uint8_t> page = encode_data_page(writer_.version(), owner_, rows_);
  writer_.write_page(current_, page);
  pages_.push_back(current_);
  rows_.clear();
  row_bytes_ = 0;
}

}  // namespace jet
