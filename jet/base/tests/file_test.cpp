#include "jet/base/file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <vector>

#include "support/fail_after_file.h"
#include "support/temp_folder.h"

namespace jet {
namespace {

TEST(MemoryFile, GrowsOnWriteAndRefusesReadsPastTheEnd) {
  MemoryFile file;
  std::vector<std::uint8_t> data{1, 2, 3};
  file.write_at(4, data);
  EXPECT_EQ(file.size(), 7u);
  std::vector<std::uint8_t> out(3);
  file.read_at(4, out);
  EXPECT_EQ(out, data);
  std::vector<std::uint8_t> past(2);
  EXPECT_THROW(file.read_at(6, past), Error);
}

TEST(FailAfterFile, FailsEveryOperationOnceTheBudgetIsSpent) {
  MemoryFile inner(std::vector<std::uint8_t>(16, 0));
  testing::FailAfterFile file(inner, 2);
  std::vector<std::uint8_t> out(4);
  file.read_at(0, out);
  file.write_at(0, out);
  try {
    file.sync();
    FAIL() << "third operation should fail";
  } catch (const Error& e) {
    EXPECT_EQ(e.code(), ErrorCode::Io);
  }
  EXPECT_THROW(file.read_at(0, out), Error);
}

TEST(StoppableFile, ReadsUntilStoppedThenRaisesWhatNoDamageHandlerCatches) {
  MemoryFile inner(std::vector<std::uint8_t>{1, 2, 3, 4});
  StoppableFile file(inner);
  std::vector<std::uint8_t> out(2);
  file.read_at(2, out);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{3, 4}));
  EXPECT_THROW(file.write_at(0, out), Error);
  file.stop();
  // Not a jet::Error: code that records a damaged structure and goes on
  // must not swallow it.
  try {
    file.read_at(0, out);
    FAIL() << "a read after stop() went through";
  } catch (const Error&) {
    FAIL() << "a stopped read was raised as a jet::Error";
  } catch (const ReadsStopped&) {
  }
  EXPECT_EQ(inner.bytes(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}


// A read into parts fills each part in turn from consecutive bytes, on disk
// (one scattered read) as in memory, and refuses to read past the end.
TEST(File, ReadsConsecutiveBytesIntoParts) {
  std::vector<std::uint8_t> bytes(10000);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  // A folder of its own: the plain and the sanitized test programs run at once.
  testing::TempFolder folder;
  const std::string path = folder.file("read_parts_at.bin");
  {
    auto created = PosixFile::open(path, PosixFile::Mode::CreateNew);
    created->write_at(0, bytes);
  }
  auto on_disk = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  MemoryFile in_memory(bytes);
  struct Case {
    const char* name;
    std::uint64_t offset;
    std::vector<std::size_t> sizes;
    bool fits;
  } cases[] = {
      {"pages", 4096, {2048, 2048, 1808}, true},
      {"empty parts skipped", 3, {0, 1, 0, 5000, 0}, true},
      {"to the last byte", 9000, {500, 500}, true},
      {"one byte past the end", 9000, {500, 501}, false},
      {"starts past the end", 10001, {1}, false},
  };
  for (const Case& c : cases) {
    for (const File* file : {static_cast<const File*>(on_disk.get()), static_cast<const File*>(&in_memory)}) {
      SCOPED_TRACE(std::string(c.name) + (file == &in_memory ? " in memory" : " on disk"));
      std::vector<std::vector<std::uint8_t>> buffers;
      for (std::size_t size : c.sizes) buffers.emplace_back(size, 0xEE);
      std::vector<MutableBytes> parts(buffers.begin(), buffers.end());
      if (!c.fits) {
        EXPECT_THROW(file->read_parts_at(c.offset, parts), Error);
        continue;
      }
      file->read_parts_at(c.offset, parts);
      std::uint64_t at = c.offset;
      for (const auto& buffer : buffers) {
        ASSERT_TRUE(std::equal(buffer.begin(), buffer.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at)));
        at += buffer.size();
      }
    }
  }
  on_disk.reset();
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace jet
