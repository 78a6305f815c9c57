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
// While writes are queued, nothing else may touch the file: wait() first.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "jet/file.h"

namespace jet {

class BackgroundWriter {
 public:
  // One stretch of a buffer to write at a place in the file.
  struct Run {
    std::uint64_t file_offset = 0;
    std::size_t buffer_offset = 0;
    std::size_t length = 0;
  };

  explicit BackgroundWriter(File& file);
  // Abandons what is still queued (the file is being given up).
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Queues the runs of buffer, which the writer takes over; waits while the
  // queue is full. Raises the error of a write that failed before.
  void queue(std::vector<std::uint8_t> buffer, std::vector<Run> runs);
  // A buffer of `size` bytes for the next queue(): one the writer is done
  // with, or a new one. Its contents are left over from before.
  std::vector<std::uint8_t> buffer(std::size_t size);
  // Waits until everything queued is written. Raises the error of a write
  // that failed.
  void wait();

 private:
  struct Job {
    std::vector<std::uint8_t> buffer;
    std::vector<Run> runs;
  };
  void work();
  void raise_failure();  // with the lock held

  File& file_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  bool busy_ = false;  // a job is being written
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::vector<std::vector<std::uint8_t>> spare_;
  std::thread thread_;  // last: started once the rest is ready
};

}  // namespace jet
