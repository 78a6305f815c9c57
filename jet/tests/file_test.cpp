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

}  // namespace
}  // namespace jet
