// Writes a file from a second thread, so that the thread building pages does
// not also wait on the system while it copies them into its cache and
// starts writing them out.
//
// Writes run one at a time, in the order they were queued, each followed by
// a writeback hint (File::start_writeback). The queue holds a few buffers at
// most: a writer that gets ahead waits, so memory stays bounded. The first
// write that fails stops the rest; its error is raised to the caller at the
// next queue() or wait().
//
// A third thread syncs the file each time another `sync_every` bytes have
// been written (File::sync_alongside_writes), while writing goes on. A disk
// that flushes all at once at the end can take longer than building the
// pages did; syncing as the file grows leaves the final sync little to do.
// A failed sync counts as a failed write.
//
// While writes are queued, nothing else may touch the file: wait() first.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "jet/base/file.h"

namespace jet {

// Leaves the bytes of a growing buffer as they are instead of zeroing them:
// write buffers are filled before they are written, and zeroing a megabyte
// window each time it is handed over cost the page-building thread more than
// copying pages into it.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this), place,
                                                       std::forward<Args>(args)...);
  }
};

using WriteBuffer = std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>>;

class BackgroundWriter {
 public:
  // One stretch of a buffer to write at a place in the file.
  struct Run {
    std::uint64_t file_offset = 0;
    std::size_t buffer_offset = 0;
    std::size_t length = 0;
  };

  static constexpr std::uint64_t kSyncEvery = std::uint64_t{64} << 20;

  explicit BackgroundWriter(File& file, std::uint64_t sync_every = kSyncEvery);
  // Abandons what is still queued (the file is being given up).
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Queues the runs of buffer, which the writer takes over; waits while the
  // queue is full. Raises the error of a write that failed before.
  void queue(WriteBuffer buffer, std::vector<Run> runs);
  // A buffer of `size` bytes for the next queue(): one the writer is done
  // with, or a new one. Its contents are left over from before.
  WriteBuffer buffer(std::size_t size);
  // Waits until everything queued is written, and any sync under way has
  // finished. Raises the error of a write or sync that failed.
  void wait();

 private:
  struct Job {
    WriteBuffer buffer;
    std::vector<Run> runs;
  };
  void work();
  void sync_when_due();
  void fail(std::exception_ptr failure);  // with the lock held
  void raise_failure();                   // with the lock held

  File& file_;
  const std::uint64_t sync_every_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  bool busy_ = false;  // a job is being written
  std::uint64_t unsynced_ = 0;  // bytes written since the last sync was asked for
  bool sync_due_ = false;
  bool syncing_ = false;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::vector<WriteBuffer> spare_;
  // Last: started once the rest is ready.
  std::thread thread_;
  std::thread syncer_;
};

}  // namespace jet
