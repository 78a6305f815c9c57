// Reads the pages of a database file, decrypting them when the database key
// is set, and keeps the most recently used ones in a bounded cache.
//
// A reader that goes through the file mostly in page order (compaction,
// verification) asks for read-ahead: a missing page that follows a page
// already read is then read together with the pages after it, in one read,
// instead of one system call a page. The run doubles with each such miss up
// to the window, and falls back to the one page asked for when a miss jumps
// elsewhere, so that a reader hopping from page to page does not pull in
// pages it never asks for.
//
// A file is a sequence of pages of the format's size; page 0 is the header.
// When the database key is not zero, page N (N >= 1) is RC4-encrypted under
// the 4-byte little-endian key (database key XOR N). A file whose size is not
// a whole number of pages has a partial last page, which is reported, never
// read past.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jet/base/file.h"
#include "jet/format/format.h"
#include "jet/read/page_cache.h"

namespace jet {

// Encrypts or decrypts (the same operation) one page's bytes in place.
void crypt_page(std::uint32_t database_key, std::uint32_t page_number, MutableBytes page);

class Pager {
 public:
  static constexpr std::size_t kDefaultCachePages = 1024;
  // The window of a reader that goes through the whole file: 64 KiB of
  // Jet 4 pages a read, which the system's copy and ours still take through
  // the processor's cache (wider windows measured slower).
  static constexpr std::size_t kPassReadAheadPages = 16;

  // read_ahead_pages: the most pages read at once on a miss (1: just the
  // page asked for); the cache keeps at least that many.
  Pager(const File& file, Version version, std::uint32_t database_key,
        std::size_t cache_pages = kDefaultCachePages, std::size_t read_ahead_pages = 1);

  Version version() const { return version_; }
  std::uint32_t page_size() const { return page_size_; }
  // Whole pages in the file.
  std::uint32_t page_count() const { return page_count_; }
  // Bytes of a partial page after the last whole one (0 when none).
  std::uint32_t trailing_bytes() const { return trailing_bytes_; }

  // Page n, decrypted. Raises Corrupt naming the page when n is beyond the
  // file or is the partial last page; Io when the file cannot be read.
  Page page(std::uint32_t n) const;

  // Forgets cached pages (after the file was changed underneath).
  void clear_cache() const;

 private:
  void remember(std::uint32_t n, Page page) const;
  // A buffer for one page: one the cache let go and nobody else holds, or a
  // new one.
  std::shared_ptr<std::vector<std::uint8_t>> page_buffer() const;

  const File& file_;
  Version version_;
  std::uint32_t database_key_;
  std::uint32_t page_size_;
  std::uint32_t page_count_;
  std::uint32_t trailing_bytes_;
  std::size_t read_ahead_;
  mutable std::size_t run_pages_ = 1;      // pages the next sequential miss reads
  // The buffers of the run being read, and their bytes as the file fills them.
  mutable std::vector<std::shared_ptr<std::vector<std::uint8_t>>> run_;
  mutable std::vector<MutableBytes> parts_;
  // Evicted pages nobody else held, kept to be read into again instead of
  // allocating a page per miss.
  mutable std::vector<std::shared_ptr<std::vector<std::uint8_t>>> spare_;
  mutable PageCache cache_;
};

}  // namespace jet
