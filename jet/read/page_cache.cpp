#include "jet/read/page_cache.h"

#include <algorithm>
#include <bit>

namespace jet {

PageCache::PageCache(std::size_t capacity) : entries_(std::max<std::size_t>(capacity, 1)) {
  // At most half the slots in use keeps probe runs short.
  slots_.assign(std::bit_ceil(entries_.size() * 2), kNone);
  mask_ = slots_.size() - 1;
}

std::size_t PageCache::home_of(std::uint32_t n) const {
  // Fibonacci hashing: consecutive page numbers spread over the table.
  return static_cast<std::size_t>((std::uint64_t{n} * 0x9E3779B97F4A7C15u) >> 32) & mask_;
}

std::uint32_t PageCache::find(std::uint32_t n) const {
  for (std::size_t s = home_of(n);; s = (s + 1) & mask_) {
    const std::uint32_t e = slots_[s];
    if (e == kNone || entries_[e].number == n) return e;
  }
}

void PageCache::unlink(std::uint32_t e) {
  Entry& entry = entries_[e];
  (entry.newer == kNone ? newest_ : entries_[entry.newer].older) = entry.older;
  (entry.older == kNone ? oldest_ : entries_[entry.older].newer) = entry.newer;
  entry.newer = entry.older = kNone;
}

void PageCache::link_newest(std::uint32_t e) {
  entries_[e].older = newest_;
  entries_[e].newer = kNone;
  (newest_ == kNone ? oldest_ : entries_[newest_].newer) = e;
  newest_ = e;
}

const Page* PageCache::use(std::uint32_t n) {
  const std::uint32_t e = find(n);
  if (e == kNone) return nullptr;
  if (e != newest_) {
    unlink(e);
    link_newest(e);
  }
  return &entries_[e].page;
}

void PageCache::forget_number(std::uint32_t n) {
  std::size_t hole = home_of(n);
  while (entries_[slots_[hole]].number != n) hole = (hole + 1) & mask_;
  // Backward-shift deletion: each later entry of the probe run that may
  // live in the hole moves into it, so no lookup stops short of its entry.
  for (std::size_t s = (hole + 1) & mask_; slots_[s] != kNone; s = (s + 1) & mask_) {
    const std::size_t home = home_of(entries_[slots_[s]].number);
    // The entry at s may move to the hole unless its home lies cyclically
    // in (hole, s].
    if (((s - home) & mask_) >= ((s - hole) & mask_)) {
      slots_[hole] = slots_[s];
      hole = s;
    }
  }
  slots_[hole] = kNone;
}

Page PageCache::insert(std::uint32_t n, Page page) {
  std::uint32_t e;
  Page evicted;
  if (used_ < entries_.size()) {
    e = static_cast<std::uint32_t>(used_++);
  } else {
    e = oldest_;
    forget_number(entries_[e].number);
    unlink(e);
    evicted = std::move(entries_[e].page);
  }
  entries_[e].number = n;
  entries_[e].page = std::move(page);
  link_newest(e);
  std::size_t s = home_of(n);
  while (slots_[s] != kNone) s = (s + 1) & mask_;
  slots_[s] = e;
  return evicted;
}

void PageCache::clear() {
  for (std::size_t e = 0; e < used_; ++e) entries_[e] = Entry{};
  std::fill(slots_.begin(), slots_.end(), kNone);
  used_ = 0;
  newest_ = oldest_ = kNone;
}

}  // namespace jet
