// libFuzzer entry point: the verifier and a full read of every table over an
// arbitrary input. Damage must end in a jet::Error or a finding; anything
// else (a crash, a sanitizer report, an exception of another kind, a hang,
// an oversized allocation) is a fault libFuzzer reports with the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/read_everything.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  jet::testing::read_everything(std::vector<std::uint8_t>(data, data + size));
  return 0;
}
