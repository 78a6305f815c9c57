// libFuzzer entry point: salvage over an arbitrary input, every surviving row
// decoded again as a repair writes it.
//
// Whatever the bytes, salvage either refuses the file as no Jet database
// (UnrecognisedFormat) or gives back what survives. Any other outcome is a
// fault and aborts, so that libFuzzer saves the input: a Corrupt or Io error
// escaping salvage (a truncated image read past its end raises Io from
// MemoryFile), a row that decoded in the first pass and not in the second,
// an exception of another kind, or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "jet/error.h"
#include "jet/file.h"
#include "jet/salvage.h"

namespace {

[[noreturn]] void violated(const std::string& what) {
  // Names from a damaged file may hold any byte, NUL included: write it all.
  std::fputs("salvage fuzzer: ", stderr);
  std::fwrite(what.data(), 1, what.size(), stderr);
  std::fputs("\n", stderr);
  std::abort();
}

// Salvages image; nothing when it is no Jet database at all.
std::unique_ptr<jet::Salvage> salvage(const jet::MemoryFile& image) {
  try {
    return std::make_unique<jet::Salvage>(image);
  } catch (const jet::Error& error) {
    if (error.code() == jet::ErrorCode::UnrecognisedFormat) return nullptr;
    violated(std::string("salvage raised ") + jet::to_string(error.code()) + ": " + error.what());
  }
}

void decode_every_row(const jet::Salvage& salvage) {
  for (const jet::SalvagedTable& table : salvage.database().tables) {
    std::size_t visited = 0;
    try {
      salvage.for_each_row(table, [&](jet::ProvedRow&&) { ++visited; });
    } catch (const jet::Error& error) {
      violated("table " + table.name + ": " + error.what());
    }
    if (visited != table.rows.size()) violated("table " + table.name + ": rows lost in the second pass");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  jet::MemoryFile image(std::vector<std::uint8_t>(data, data + size));
  std::unique_ptr<jet::Salvage> salvaged = salvage(image);
  if (!salvaged) return 0;
  decode_every_row(*salvaged);
  return 0;
}
