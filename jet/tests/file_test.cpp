#include "jet/file.h"

#include <gtest/gtest.h>

#include <vector>

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
  FailAfterFile file(inner, 2);
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

}  // namespace
}  // namespace jet
