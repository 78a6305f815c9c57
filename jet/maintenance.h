// The engine's whole-file operations, as the utility's database facades use
// them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format/compact_error_table.h"
#include "jet/format/format.h"

namespace jet {

struct MaintenanceReport {
  Version version = Version::Jet4;
  std::uint64_t source_bytes = 0;
  std::uint64_t result_bytes = 0;
  std::vector<CompactErrorEntry> errors;
};

// Tells the format of the database at path from its header, or from its
// pages where the header is damaged (jet/salvage/salvage_header.h). Raises
// UnrecognisedFormat for anything that is not a Jet 3 or Jet 4 database,
// NotFound or Io when the file cannot be read.
Version read_version(const std::string& path);

// Writes a compacted copy of the database at source as a new file at
// destination, in the source's own format. A source the verifier finds
// sound is copied object by object (jet/write/compactor.h); a damaged one is
// salvaged (jet/salvage/salvage.h), and everything left out or changed is listed in
// the report's errors and in the copy's MSysCompactError table. The
// destination must not exist (AlreadyExists); it is written under a
// temporary name beside it, synced and renamed, so a failure leaves no
// destination at all.
MaintenanceReport compact(const std::string& source, const std::string& destination);

// Rewrites the database at path as compact does and replaces it atomically
// with the result, keeping its permissions: at every instant the path holds
// the old or the new complete file. Refuses, before anything is written, a
// database that another program holds (FileInUse) or that is marked
// read-only (ReadOnly: no write bit in its mode, the read-only attribute on
// Windows).
MaintenanceReport repair(const std::string& path);

}  // namespace jet
