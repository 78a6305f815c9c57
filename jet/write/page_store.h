// Where a writer's parts get page numbers and put finished pages.
//
// PageStore is what the parts (data page packing, long values, usage maps,
// index building) see. PageFile is the one implementation every writer
// shares, the database writer and compaction alike: page numbers are handed
// out in increasing order, and each page is written once, complete, at its
// place in the file, RC4-encrypted on the way out when the database has a key
// (page 0, the header, never is).
//
// Pages wait in a window of consecutive page numbers (1 MiB) and go out as
// one write per run of finished pages: writers finish their pages nearly in
// the order they took them, so a large file is written in large sequential
// writes rather than one system call a page. A page before the window (one
// kept open while later pages were written) is written at once. flush()
// writes what waits; a writer calls it before it truncates or syncs. Each
// write is followed by a hint to start writing it back (File::start_writeback),
// so the disk works while later pages are built and the final sync is short.
// A writer that builds many pages (compaction) asks for the writes to run in
// a second thread (jet/write/background_writer.h); flush() then also waits for
// them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jet/base/bytes.h"
#include "jet/base/file.h"
#include "jet/format/format.h"
#include "jet/write/background_writer.h"

namespace jet {

// Supplies page numbers and takes finished pages.
class PageStore {
 public:
  virtual ~PageStore() = default;
  virtual std::uint32_t allocate_page() = 0;
  virtual void write_page(std::uint32_t number, Bytes page) = 0;
};

class PageFile : public PageStore {
 public:
  // Numbers are handed out from first_free_page on; the pages before it are
  // the caller's to write.
  enum class Writes { InCaller, InBackground };
  PageFile(File& file, Version version, std::uint32_t database_key, std::uint32_t first_free_page,
           Writes writes = Writes::InCaller);

  Version version() const { return version_; }
  std::uint32_t database_key() const { return database_key_; }

  // Raises LimitExceeded past the largest page number a pointer holds.
  std::uint32_t allocate_page() override;
  // Raises InvalidArgument for a page not of the format's size.
  void write_page(std::uint32_t number, Bytes page) override;
  // Writes the pages waiting in the window, and waits for the writes
  // running in the background: the file may be touched directly afterwards.
  // Raises the error of any write that failed.
  void flush();

  // Pages handed out so far: the size of the file once all are written.
  std::uint32_t page_count() const { return next_page_; }
  // Moves the end, when pages were placed past it (the free-page map's).
  void set_page_count(std::uint32_t count) { next_page_ = count; }

 private:
  File& file_;
  Version version_;
  std::uint32_t database_key_;
  std::uint32_t next_page_;
  std::uint32_t window_start_ = 0;  // the page number of the window's first slot
  WriteBuffer window_;  // only the slots marked waiting hold pages
  std::vector<bool> waiting_;  // per slot of the window: holds a page to write
  std::vector<std::uint8_t> scratch_;
  std::unique_ptr<BackgroundWriter> background_;  // null: writes run in the caller

  // Writes (or queues) the pages waiting in the window, without waiting.
  void send_window();
  void write(std::uint64_t offset, Bytes bytes);
};

}  // namespace jet
