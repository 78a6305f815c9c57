// libFuzzer entry point: the verifier, a full read of every table and a
// compaction over an arbitrary input (repair runs the compactor beside the
// verifier, before the file is known to be sound). Damage must end in a
// jet::Error or a finding; anything else (a crash, a sanitizer report, an
// exception of another kind, a hang, an oversized allocation) is a fault
// libFuzzer reports with the input.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jet/base/error.h"
#include "jet/base/file.h"
#include "jet/write/compactor.h"
#include "support/read_everything.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  jet::testing::read_everything(bytes);
  try {
    const jet::MemoryFile source(std::move(bytes));
    jet::MemoryFile destination;
    jet::compact_database(source, destination);
  } catch (const jet::Error&) {
  }
  return 0;
}
