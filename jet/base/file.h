// The one narrow interface through which the engine touches a database file.
//
// Everything the engine reads or writes goes through File, so tests can run
// the engine over bytes in memory (MemoryFile) and over files that fail on
// purpose, and check that a failure at any point is reported and never leaves
// a half-written result.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jet/base/bytes.h"

namespace jet {

class File {
 public:
  virtual ~File() = default;

  virtual std::uint64_t size() const = 0;
  // Reads exactly out.size() bytes at offset; a read past the end raises Io.
  virtual void read_at(std::uint64_t offset, MutableBytes out) const = 0;
  // Reads consecutive bytes from offset into each part in turn, as one
  // operation where the file can (a pager reads a run of pages straight
  // into the pages' own buffers).
  virtual void read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const;
  // Writes all of data at offset, growing the file when needed.
  virtual void write_at(std::uint64_t offset, Bytes data) = 0;
  virtual void truncate(std::uint64_t size) = 0;
  // Makes what was written durable.
  virtual void sync() = 0;
  // Asks the system to start writing a range out to the disk now, without
  // waiting for it, so that a later sync has little left to do. A hint only:
  // it makes nothing durable, and a file may ignore it.
  virtual void start_writeback(std::uint64_t /*offset*/, std::uint64_t /*length*/) {}
  // Makes what was written so far durable while another thread may go on
  // writing, so that the final sync() waits for little more than the last
  // writes. A file that cannot be synced alongside its writes does nothing
  // here; the final sync() is needed either way. Raises Io as sync() does,
  // and a failure raised here may not be raised again by a later sync.
  virtual void sync_alongside_writes() {}
};

// A file held in memory.
class MemoryFile : public File {
 public:
  MemoryFile() = default;
  explicit MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::uint64_t size() const override { return bytes_.size(); }
  void read_at(std::uint64_t offset, MutableBytes out) const override;
  void write_at(std::uint64_t offset, Bytes data) override;
  void truncate(std::uint64_t size) override;
  void sync() override {}

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Raised by a StoppableFile once it is stopped. It is no jet::Error on
// purpose: the engine's handlers that record a damaged structure and go on
// must not take it for one.
class ReadsStopped : public std::exception {
 public:
  const char* what() const noexcept override { return "reading was stopped"; }
};

// A read-only view of another file that one thread can stop while another
// reads through it: every read after stop() raises ReadsStopped, so work in
// flight is abandoned at its next read.
class StoppableFile : public File {
 public:
  explicit StoppableFile(const File& inner) : inner_(inner) {}

  std::uint64_t size() const override { return inner_.size(); }
  void read_at(std::uint64_t offset, MutableBytes out) const override;
  void read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const override;
  void write_at(std::uint64_t offset, Bytes data) override;
  void truncate(std::uint64_t size) override;
  void sync() override {}

  void stop() { stopped_.store(true, std::memory_order_relaxed); }

 private:
  const File& inner_;
  std::atomic<bool> stopped_{false};
};

// The system's name for an open file: a descriptor on POSIX systems, a
// HANDLE on Windows.
#if defined(_WIN32)
using NativeFile = void*;
#else
using NativeFile = int;
#endif

// A file on disk, through the system's own calls (file_posix.cpp or
// file_win32.cpp). Paths are UTF-8 on every system.
class DiskFile : public File {
 public:
  enum class Mode { ReadOnly, ReadWrite, CreateNew };

  // CreateNew fails with AlreadyExists when the path exists. A file that
  // cannot be opened raises NotFound, FileInUse (another program holds it
  // open and shares it with nobody) or Io, naming the path.
  static std::unique_ptr<DiskFile> open(const std::string& path, Mode mode);
  ~DiskFile() override;
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  std::uint64_t size() const override;
  void read_at(std::uint64_t offset, MutableBytes out) const override;
  void read_parts_at(std::uint64_t offset, std::span<const MutableBytes> parts) const override;
  void write_at(std::uint64_t offset, Bytes data) override;
  void truncate(std::uint64_t size) override;
  void sync() override;
  void start_writeback(std::uint64_t offset, std::uint64_t length) override;
  void sync_alongside_writes() override;

  NativeFile native() const { return native_; }
  const std::string& path() const { return path_; }

 private:
  DiskFile(NativeFile native, std::string path) : native_(native), path_(std::move(path)) {}

  NativeFile native_;
  std::string path_;
};

// The engine's callers that predate Windows name the disk file by its first
// system's name.
using PosixFile = DiskFile;

// Reads a whole file into memory (for small files and tests).
std::vector<std::uint8_t> read_all(const File& file);

}  // namespace jet
