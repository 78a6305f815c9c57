#include "jet/write/background_writer.h"

#include <utility>

namespace jet {

namespace {
// Buffers queued at most: enough to keep the writer busy while the next one
// fills, few enough that memory does not grow with the file.
constexpr std::size_t kMaxQueued = 4;
}  // namespace

BackgroundWriter::BackgroundWriter(File& file, std::uint64_t sync_every)
    : file_(file), sync_every_(sync_every), thread_([this] { work(); }), syncer_([this] { sync_when_due(); }) {}

BackgroundWriter::~BackgroundWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  changed_.notify_all();
  thread_.join();
  syncer_.join();
}

void BackgroundWriter::fail(std::exception_ptr failure) {
  // Nothing after a failed write or sync is written: the file is given up.
  if (!failure_) failure_ = failure;
  jobs_.clear();
}

void BackgroundWriter::raise_failure() {
  if (failure_) std::rethrow_exception(failure_);
}

void BackgroundWriter::queue(WriteBuffer buffer, std::vector<Run> runs) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return failure_ || jobs_.size() < kMaxQueued; });
  raise_failure();
  jobs_.push_back(Job{std::move(buffer), std::move(runs)});
  changed_.notify_all();
}

WriteBuffer BackgroundWriter::buffer(std::size_t size) {
  WriteBuffer buffer;
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
  // A sync not yet started is left to the caller's own, which follows; one
  // under way is waited for, as its failure may be reported to it alone.
  sync_due_ = false;
  changed_.wait(lock, [this] { return !syncing_; });
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
    std::uint64_t written = 0;
    try {
      for (const Run& run : job.runs) {
        file_.write_at(run.file_offset, Bytes(job.buffer.data() + run.buffer_offset, run.length));
        file_.start_writeback(run.file_offset, run.length);
        written += run.length;
      }
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    busy_ = false;
    if (failure) fail(failure);
    unsynced_ += written;
    if (unsynced_ >= sync_every_) {
      unsynced_ = 0;
      sync_due_ = true;
    }
    if (spare_.size() < kMaxQueued) spare_.push_back(std::move(job.buffer));
    changed_.notify_all();
  }
}

void BackgroundWriter::sync_when_due() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || (sync_due_ && !failure_); });
    if (stopping_) return;
    sync_due_ = false;
    syncing_ = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      file_.sync_alongside_writes();
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    syncing_ = false;
    if (failure) fail(failure);
    changed_.notify_all();
  }
}

}  // namespace jet
