#include "jet/read/pager.h"

#include <algorithm>
#include <array>

#include "jet/base/rc4.h"

namespace jet {

void crypt_page(std::uint32_t database_key, std::uint32_t page_number, MutableBytes page) {
  std::array<std::uint8_t, 4> key;
  store_u32(key.data(), database_key ^ page_number);
  rc4_apply(key, page);
}

Pager::Pager(const File& file, Version version, std::uint32_t database_key,
             std::size_t cache_pages, std::size_t read_ahead_pages)
    : file_(file),
      version_(version),
      database_key_(database_key),
      page_size_(jet::page_size(version)),
      read_ahead_(read_ahead_pages == 0 ? 1 : read_ahead_pages),
      cache_(std::max(cache_pages, read_ahead_)) {
  std::uint64_t size = file.size();
  std::uint64_t whole = size / page_size_;
  if (whole > 0xFFFFFFu) {
    // Page numbers are 3 bytes wide in every pointer.
    throw Error(ErrorCode::LimitExceeded,
                "the file has " + std::to_string(whole) + " pages, more than a Jet database can");
  }
  page_count_ = static_cast<std::uint32_t>(whole);
  trailing_bytes_ = static_cast<std::uint32_t>(size % page_size_);
}

Page Pager::page(std::uint32_t n) const {
  if (const Page* cached = cache_.use(n)) return *cached;
  if (n >= page_count_) {
    std::string what =
        n == page_count_ && trailing_bytes_ != 0
            ? "the file ends " + std::to_string(trailing_bytes_) + " bytes into this page"
            : "page " + std::to_string(n) + " is beyond the end of the file (" +
                  std::to_string(page_count_) + " pages)";
    throw_corrupt(n, "page", "page number", what);
  }
  // A miss right after a page read before continues a pass through the
  // file: its run doubles, up to the window. Any other miss reads the page
  // alone. The run ends before the first page already cached, so that no
  // cached page is read twice.
  const bool sequential = n > 0 && cache_.contains(n - 1);
  run_pages_ = sequential ? std::min(run_pages_ * 2, read_ahead_) : 1;
  std::uint32_t count = 1;
  while (count < run_pages_ && n + count < page_count_ && !cache_.contains(n + count)) ++count;
  // The run is read straight into the pages' own buffers.
  run_.clear();
  parts_.clear();
  for (std::uint32_t k = 0; k < count; ++k) {
    run_.push_back(page_buffer());
    run_.back()->resize(page_size_);
    parts_.push_back(*run_.back());
  }
  file_.read_parts_at(static_cast<std::uint64_t>(n) * page_size_, parts_);
  // Last page first, so the one asked for is the most recently used.
  Page asked;
  for (std::uint32_t k = count; k-- > 0;) {
    if (database_key_ != 0 && n + k != 0) crypt_page(database_key_, n + k, *run_[k]);
    if (k == 0) asked = run_[0];
    remember(n + k, std::move(run_[k]));
  }
  return asked;
}

std::shared_ptr<std::vector<std::uint8_t>> Pager::page_buffer() const {
  if (spare_.empty()) return std::make_shared<std::vector<std::uint8_t>>();
  std::shared_ptr<std::vector<std::uint8_t>> buffer = std::move(spare_.back());
  spare_.pop_back();
  return buffer;
}

void Pager::remember(std::uint32_t n, Page page) const {
  Page evicted = cache_.insert(n, std::move(page));
  // Every page the cache holds was made here, writable; a page nobody else
  // holds can be read into again.
  if (evicted && evicted.use_count() == 1 && spare_.size() < read_ahead_) {
    spare_.push_back(std::const_pointer_cast<std::vector<std::uint8_t>>(std::move(evicted)));
  }
}

void Pager::clear_cache() const { cache_.clear(); }

}  // namespace jet
