#include "jet/background_writer.h"

#include <utility>

namespace jet {

namespace {
// Buffers queued at most: enough to keep the writer busy while the next one
// fills, few enough that memory does not grow with the file.
constexpr std::size_t kMaxQueued = 4;
}  // namespace

BackgroundWriter::BackgroundWriter(File& file) : file_(file), thread_([this] { work(); }) {}

BackgroundWriter::~BackgroundWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

void BackgroundWriter::raise_failure() {
  if (failure_) std::rethrow_exception(failure_);
}

void BackgroundWriter::queue(std::vector<std::uint8_t> buffer, std::vector<Run> runs) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || jobs_.size() < kMaxQueued; });
  raise_failure();
  jobs_.push_back(Job{std::move(buffer), std::move(runs)});
  changed_.notify_all();
}

std::vector<std::uint8_t> BackgroundWriter::buffer(std::size_t size) {
  std::vector<std::uint8_t> buffer;
  {
    std::lock_guard lock(mutex_);
    if (!spare_.empty()) {
      buffer = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  buffer.resize(size);
  return buffer;
}

void BackgroundWriter::wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || (jobs_.empty() && !busy_); });
  raise_failure();
}

void BackgroundWriter::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      for (const Run& run : job.runs) {
        file_.write_at(run.file_offset, Bytes(job.buffer.data() + run.buffer_offset, run.length));
        file_.start_writeback(run.file_offset, run.length);
      }
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    busy_ = false;
    if (failure) {
      // Nothing after a failed write is written: the file is given up.
      failure_ = failure;
      jobs_.clear();
    }
    if (spare_.size() < kMaxQueued) spare_.push_back(std::move(job.buffer));
    changed_.notify_all();
  }
}

}  // namespace jet
