#include "jet/base/rc4.h"

#include <array>
#include <utility>

namespace jet {

void rc4_apply(Bytes key, MutableBytes data) {
  if (key.empty() || key.size() > 256) {
    throw Error(ErrorCode::InvalidArgument, "an RC4 key has 1 to 256 bytes");
  }
  std::array<std::uint8_t, 256> state;
  for (unsigned i = 0; i < 256; ++i) state[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (unsigned i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + state[i] + key[i % key.size()]);
    std::swap(state[i], state[j]);
  }
  std::uint8_t x = 0;
  std::uint8_t y = 0;
  for (auto& byte : data) {
    x = static_cast<std::uint8_t>(x + 1);
    y = static_cast<std::uint8_t>(y + state[x]);
    std::swap(state[x], state[y]);
    byte ^= state[static_cast<std::uint8_t>(state[x] + state[y])];
  }
}

}  // namespace jet
