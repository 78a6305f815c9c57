// The whole-file operations: compaction into a new file, and repair in place
// by compacting into a temporary file that then replaces the original.
#include "jet/maintenance.h"

#include <array>
#include <cstring>

#include "jet/atomic_replace.h"
#include "jet/compactor.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/file_lock.h"

namespace jet {

Version read_version(const std::string& path) {
  auto file = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  std::array<std::uint8_t, 0x15> head{};
  if (file->size() < head.size()) throw Error(ErrorCode::UnrecognisedFormat, "file too short");
  file->read_at(0, head);
  if (std::memcmp(head.data() + 4, "Standard Jet DB", 16) != 0) {
    throw Error(ErrorCode::UnrecognisedFormat, "no Jet signature");
  }
  if (head[0x14] == 0) return Version::Jet3;
  if (head[0x14] == 1) return Version::Jet4;
  throw Error(ErrorCode::UnrecognisedFormat, "unknown version byte");
}

MaintenanceReport compact(const std::string& source, const std::string& destination) {
  const auto input = PosixFile::open(source, PosixFile::Mode::ReadOnly);
  MaintenanceReport report;
  create_atomically(destination, [&](File& out) { report = compact_database(*input, out); });
  return report;
}

MaintenanceReport repair(const std::string& path) {
  // Rewriting a file that another program has open would lose its writes.
  ensure_not_in_use(path);
  const auto input = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  MaintenanceReport report;
  // The original stays in place, whole, until the rewritten copy is complete
  // and synced; a failure anywhere leaves it untouched.
  replace_atomically(path, [&](File& out) { report = compact_database(*input, out); });
  return report;
}

}  // namespace jet
