// The pager's cache: a fixed number of pages by page number, the least
// recently used given up first.
//
// Every page read goes through it (several hundred thousand lookups a pass
// over a large file), so it allocates nothing once full: its entries live in
// one array, linked newest to oldest by index, and page numbers map to them
// through an open-addressed table of twice their number.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace jet {

using Page = std::shared_ptr<const std::vector<std::uint8_t>>;

class PageCache {
 public:
  explicit PageCache(std::size_t capacity);

  std::size_t size() const { return used_; }
  bool contains(std::uint32_t n) const { return find(n) != kNone; }
  // Page n, now the most recently used; null when it is not cached.
  const Page* use(std::uint32_t n);
  // Caches page n (not cached yet) as the most recently used. When the cache
  // is full the least recently used page makes room, and is returned.
  Page insert(std::uint32_t n, Page page);
  void clear();

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;
  struct Entry {
    std::uint32_t number = 0;
    Page page;
    std::uint32_t newer = kNone;
    std::uint32_t older = kNone;
  };

  std::size_t home_of(std::uint32_t n) const;
  std::uint32_t find(std::uint32_t n) const;  // the entry of page n, or kNone
  void unlink(std::uint32_t e);
  void link_newest(std::uint32_t e);
  void forget_number(std::uint32_t n);

  std::vector<Entry> entries_;
  std::size_t used_ = 0;
  std::uint32_t newest_ = kNone;
  std::uint32_t oldest_ = kNone;
  // Entry indexes by page number, kNone where empty; linear probing.
  std::vector<std::uint32_t> slots_;
  std::size_t mask_ = 0;
};

}  // namespace jet
