#include "jet/write/page_store.h"

#include <algorithm>
#include <string>
#include <utility>

#include "jet/base/error.h"
#include "jet/read/pager.h"

namespace jet {

namespace {
// Row pointers and usage maps hold page numbers in three bytes.
constexpr std::uint32_t kMaxPageNumber = 0xFFFFFF;
constexpr std::size_t kWindowBytes = std::size_t{1} << 20;
}  // namespace

PageFile::PageFile(File& file, Version version, std::uint32_t database_key, std::uint32_t first_free_page,
                   Writes writes)
    : file_(file),
      version_(version),
      database_key_(database_key),
      next_page_(first_free_page),
      window_(kWindowBytes),
      waiting_(kWindowBytes / page_size(version), false) {
  if (writes == Writes::InBackground) background_ = std::make_unique<BackgroundWriter>(file);
}

std::uint32_t PageFile::allocate_page() {
  if (next_page_ >= kMaxPageNumber) {
    throw Error(ErrorCode::LimitExceeded,
                "the database would exceed " + std::to_string(kMaxPageNumber) + " pages");
  }
  return next_page_++;
}

void PageFile::write_page(std::uint32_t number, Bytes page) {
  if (page.size() != page_size(version_)) {
    throw Error(ErrorCode::InvalidArgument, "page " + std::to_string(number) + " has " +
                                                std::to_string(page.size()) + " bytes, not " +
                                                std::to_string(page_size(version_)));
  }
  const std::size_t size = page_size(version_);
  if (number < window_start_ || number == 0) {
    scratch_.assign(page.begin(), page.end());
    if (database_key_ != 0 && number != 0) crypt_page(database_key_, number, scratch_);
    write(std::uint64_t{number} * size, scratch_);
    return;
  }
  if (number - window_start_ >= waiting_.size()) {
    send_window();
    window_start_ = number;
  }
  const std::size_t slot = number - window_start_;
  const MutableBytes place(window_.data() + slot * size, size);
  std::copy(page.begin(), page.end(), place.begin());
  if (database_key_ != 0) crypt_page(database_key_, number, place);
  waiting_[slot] = true;
}

void PageFile::write(std::uint64_t offset, Bytes bytes) {
  if (!background_) {
    file_.write_at(offset, bytes);
    file_.start_writeback(offset, bytes.size());
    return;
  }
  WriteBuffer copy = background_->buffer(bytes.size());
  std::copy(bytes.begin(), bytes.end(), copy.begin());
  background_->queue(std::move(copy), {BackgroundWriter::Run{offset, 0, bytes.size()}});
}

void PageFile::send_window() {
  const std::size_t size = page_size(version_);
  std::vector<BackgroundWriter::Run> runs;
  for (std::size_t first = 0; first < waiting_.size();) {
    if (!waiting_[first]) {
      ++first;
      continue;
    }
    std::size_t end = first;
    while (end < waiting_.size() && waiting_[end]) waiting_[end++] = false;
    runs.push_back(BackgroundWriter::Run{std::uint64_t{window_start_ + first} * size, first * size, (end - first) * size});
    first = end;
  }
  if (runs.empty()) return;
  if (!background_) {
    for (const BackgroundWriter::Run& run : runs) {
      file_.write_at(run.file_offset, Bytes(window_.data() + run.buffer_offset, run.length));
      file_.start_writeback(run.file_offset, run.length);
    }
    return;
  }
  // The window goes to the writer whole; the next one is a buffer it is done
  // with. Only the slots marked waiting are ever written from a buffer.
  WriteBuffer next = background_->buffer(window_.size());
  background_->queue(std::exchange(window_, std::move(next)), std::move(runs));
}

void PageFile::flush() {
  send_window();
  if (background_) background_->wait();
}

}  // namespace jet
