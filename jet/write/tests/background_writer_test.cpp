#include "jet/write/background_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "jet/base/error.h"

namespace jet {
namespace {

constexpr std::size_t kJobBytes = 4096;

// A file in memory that records its early syncs and can fail them. A write
// can be told to wait until an early sync has happened, which pins down when
// the sync runs: while writes are still going on.
class SyncRecordingFile : public MemoryFile {
 public:
  bool fail_syncs = false;
  // The write that starts at this offset waits for the first early sync.
  std::uint64_t wait_for_sync_at = ~std::uint64_t{0};

  void write_at(std::uint64_t offset, Bytes data) override {
    if (offset == wait_for_sync_at) {
      std::unique_lock lock(mutex_);
      // A bound, so that a writer that never syncs fails the test instead
      // of hanging it.
      synced_in_time_ = changed_.wait_for(lock, std::chrono::seconds(20), [this] { return syncs_ > 0; });
    }
    MemoryFile::write_at(offset, data);
  }

  void sync_alongside_writes() override {
    std::lock_guard lock(mutex_);
    ++syncs_;
    changed_.notify_all();
    if (fail_syncs) throw Error(ErrorCode::Io, "cannot sync: no space left on device");
  }

  int syncs() {
    std::lock_guard lock(mutex_);
    return syncs_;
  }
  bool synced_in_time() {
    std::lock_guard lock(mutex_);
    return synced_in_time_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int syncs_ = 0;
  bool synced_in_time_ = true;
};

void queue_jobs(BackgroundWriter& writer, int jobs) {
  for (int i = 0; i < jobs; ++i) {
    WriteBuffer buffer = writer.buffer(kJobBytes);
    std::fill(buffer.begin(), buffer.end(), static_cast<std::uint8_t>(i + 1));
    writer.queue(std::move(buffer), {BackgroundWriter::Run{std::uint64_t(i) * kJobBytes, 0, kJobBytes}});
  }
}

// The file is synced while writing goes on once `sync_every` bytes have been
// written, and never before; what lands in the file is the same either way.
TEST(BackgroundWriter, SyncsAlongsideWritesOnceEnoughIsWritten) {
  struct Case {
    const char* name;
    std::uint64_t sync_every;
    int jobs;
    bool syncs;
  };
  for (const Case& c : {Case{"less than the interval", 8 * kJobBytes, 7, false},
                        Case{"the interval exactly", 8 * kJobBytes, 9, true},
                        Case{"every write", 1, 6, true}}) {
    SCOPED_TRACE(c.name);
    SyncRecordingFile file;
    // The last write waits for an early sync, so one must happen before it.
    if (c.syncs) file.wait_for_sync_at = std::uint64_t(c.jobs - 1) * kJobBytes;
    {
      BackgroundWriter writer(file, c.sync_every);
      queue_jobs(writer, c.jobs);
      writer.wait();
    }
    EXPECT_TRUE(file.synced_in_time());
    if (c.syncs) {
      EXPECT_GE(file.syncs(), 1);
    } else {
      EXPECT_EQ(file.syncs(), 0);
    }
    ASSERT_EQ(file.bytes().size(), c.jobs * kJobBytes);
    for (int i = 0; i < c.jobs; ++i) ASSERT_EQ(file.bytes()[i * kJobBytes], i + 1) << "job " << i;
  }
}

// An early sync that fails is a failed write: the system may report the
// failure only once, so the caller's own final sync could succeed after it
// and a lost write would pass for a durable one.
TEST(BackgroundWriter, RaisesAFailedEarlySync) {
  SyncRecordingFile file;
  file.fail_syncs = true;
  file.wait_for_sync_at = kJobBytes;  // the second write starts after the sync failed
  BackgroundWriter writer(file, 1);
  // The failure comes back from whichever call follows it: queuing the
  // second job when the first one's sync has already failed, else waiting.
  try {
    queue_jobs(writer, 2);
    writer.wait();
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Io) << e.what();
  }
  EXPECT_TRUE(file.synced_in_time());
  // Nothing more is taken once the file is given up.
  EXPECT_THROW(queue_jobs(writer, 1), Error);
}

}  // namespace
}  // namespace jet
