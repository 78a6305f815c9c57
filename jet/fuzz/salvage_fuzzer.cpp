// libFuzzer entry point: salvage over an arbitrary input, and what it keeps
// written out as a repair writes it, then checked as a user's next open would.
//
// Whatever the bytes, salvage either refuses the file as no Jet database
// (UnrecognisedFormat) or gives back what survives, and the database written
// from that is sound: the verifier finds nothing above info and every table
// reads back (an index whose keys cannot be encoded is dropped, never
// written missing rows). Any other outcome is a fault and aborts, so that
// libFuzzer saves
// the input: a Corrupt or Io error escaping salvage (a truncated image read
// past its end raises Io from MemoryFile), a row that decoded in the first
// pass and not in the second, an error from the writer, a finding in the
// output, a table of the output that does not read, an exception of another
// kind, or a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "jet/base/error.h"
#include "jet/base/file.h"
#include "jet/read/database.h"
#include "jet/salvage/salvage.h"
#include "jet/salvage/salvage_writer.h"
#include "jet/verify/verify.h"


namespace {

[[noreturn]] void violated(const std::string& what) {
  // Names from a damaged file may hold any byte, NUL included: write it all.
  std::fputs("salvage fuzzer: ", stderr);
  std::fwrite(what.data(), 1, what.size(), stderr);
  std::fputs("\n", stderr);
  std::abort();
}

std::string describe(const jet::Error& error) {
  return std::string(jet::to_string(error.code())) + ": " + error.what();
}

// Salvages image; nothing when it is no Jet database at all.
std::unique_ptr<jet::Salvage> salvage(const jet::MemoryFile& image) {
  try {
    return std::make_unique<jet::Salvage>(image);
  } catch (const jet::Error& error) {
    if (error.code() == jet::ErrorCode::UnrecognisedFormat) return nullptr;
    violated("salvage raised " + describe(error));
  }
}

void decode_every_row(const jet::Salvage& salvage) {
  for (const jet::SalvagedTable& table : salvage.database().tables) {
    std::size_t visited = 0;
    try {
      salvage.for_each_row(table, [&](jet::ProvedRow&&) { ++visited; });
    } catch (const jet::Error& error) {
      violated("table " + table.name + ": " + describe(error));
    }
    if (visited != table.rows.size()) violated("table " + table.name + ": rows lost in the second pass");
  }
}

// The written database and what writing it recorded as lost.
struct Written {
  jet::MemoryFile out;
  std::vector<jet::CompactErrorEntry> errors;
};

Written write_salvaged(const jet::Salvage& salvage) {
  Written written{jet::MemoryFile(), salvage.database().errors};
  try {
    jet::write_salvaged_database(salvage, written.errors, written.out);
  } catch (const jet::Error& error) {
    violated("writing the salvaged database raised " + describe(error));
  }
  return written;
}

void require_sound(const Written& written) {
  try {
    jet::Database db(written.out);
    jet::FindingList findings = jet::verify(written.out);
    if (!findings.clean()) violated("the written database has findings:\n" + jet::format_report(findings));
    for (const jet::CatalogObject& entry : db.tables(true)) {
      db.table(entry).scan([](jet::RowPointer, std::vector<jet::Value>& values) {
        for (const jet::Value& value : values) jet::canonical_text(value);
      });
    }
  } catch (const jet::Error& error) {
    violated("reading the written database raised " + describe(error));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  jet::MemoryFile image(std::vector<std::uint8_t>(data, data + size));
  std::unique_ptr<jet::Salvage> salvaged = salvage(image);
  if (!salvaged) return 0;
  decode_every_row(*salvaged);
  require_sound(write_salvaged(*salvaged));
  return 0;
}
