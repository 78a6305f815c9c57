// The whole-file operations: compaction into a new file, and repair in place
// by rewriting into a temporary file that then replaces the original.
//
// Both rewrite a database the same way. A file the verifier finds sound goes
// through the compactor, which carries every structure over as it is; a
// damaged one, or one the compactor cannot carry over whole, goes through
// salvage, which keeps what still decodes and lists every loss in the
// result's MSysCompactError table.
#include "jet/maintenance.h"

#include <exception>
#include <filesystem>
#include <future>
#include <optional>

#include "jet/base/atomic_replace.h"
#include "jet/base/error.h"
#include "jet/base/file.h"
#include "jet/base/file_lock.h"
#include "jet/salvage/salvage.h"
#include "jet/salvage/salvage_header.h"
#include "jet/salvage/salvage_writer.h"
#include "jet/verify/verify.h"
#include "jet/write/compactor.h"

namespace jet {

namespace {

// The verifier's findings, or none for a header that does not decode (salvage
// then decides what the file is).
std::optional<FindingList> findings_of(const File& file) {
  try {
    return verify(file);
  } catch (const Error& e) {
    if (e.code() == ErrorCode::Io) throw;
    return std::nullopt;
  }
}

// The name of the table a finding concerns, if the verifier knew it.
std::string table_of(const Finding& finding, const SalvagedDatabase& db) {
  if (!finding.table) return "";
  if (*finding.table == db.catalog.page) return "MSysObjects";
  for (const SalvagedTable& table : db.tables) {
    if (table.def.page == *finding.table) return table.name;
  }
  return "";
}

// Salvage reads no index: it builds every one afresh from the surviving
// rows, which mends whatever the verifier found wrong in the old ones. The
// report says what was mended.
void record_rebuilt_indexes(const FindingList& findings, const SalvagedDatabase& db,
                            std::vector<CompactErrorEntry>& errors) {
  SalvageLog log;
  for (const Finding& finding : findings.items()) {
    if (finding.severity == Severity::Info || finding.structure.find("index") == std::string::npos) continue;
    log.record(SalvageCode::IndexRebuilt, table_of(finding, db),
               "A damaged index was rebuilt from the rows: " + format_finding(finding));
  }
  const auto entries = log.entries();
  errors.insert(errors.end(), entries.begin(), entries.end());
}

MaintenanceReport salvage_into(const File& input, const std::optional<FindingList>& findings, File& out) {
  const Salvage salvage(input);
  MaintenanceReport report;
  report.version = salvage.database().header.version;
  report.source_bytes = input.size();
  report.errors = salvage.database().errors;
  if (findings) record_rebuilt_indexes(*findings, salvage.database(), report.errors);
  write_salvaged_database(salvage, report.errors, out);
  report.result_bytes = out.size();
  return report;
}

// The compactor's copy of a file the verifier finds sound, or nothing when
// the file is damaged, or the compactor could not carry it over whole.
//
// Both read the whole file, so they read it side by side: the compactor
// starts at once, in this thread, and the verifier in another. Damage stops
// the compactor at its next read, or at the first structure it cannot carry
// over whole; its copy is kept only when it finished and the verifier finds
// nothing above info (what Access routinely leaves behind).
std::optional<MaintenanceReport> compact_if_sound(const File& input, File& out,
                                                  std::optional<FindingList>& findings) {
  StoppableFile compactor_input(input);
  std::future<std::optional<FindingList>> verdict = std::async(std::launch::async, [&] {
    std::optional<FindingList> found;
    try {
      found = findings_of(input);
    } catch (...) {
      compactor_input.stop();
      throw;
    }
    if (!found || !found->clean()) compactor_input.stop();
    return found;
  });
  std::optional<Version> compacted;
  std::exception_ptr refusal;  // what the compactor raised on a file that may be sound
  try {
    compacted = compact_database(compactor_input, out);
  } catch (const ReadsStopped&) {
  } catch (const Error& e) {
    // The verifier's verdict decides: on a damaged file it is salvage's
    // turn (which meets a failing disk again, if that was the cause); on a
    // sound one the failure stands, but for a structure the compactor
    // could not read, which salvage may still carry over.
    if (e.code() != ErrorCode::Corrupt) refusal = std::current_exception();
  }
  findings = verdict.get();
  const bool sound = findings && findings->clean();
  if (sound && refusal) std::rethrow_exception(refusal);
  if (!sound || !compacted) return std::nullopt;
  MaintenanceReport report;
  report.version = *compacted;
  report.source_bytes = input.size();
  report.result_bytes = out.size();
  return report;
}

MaintenanceReport rewrite(const File& input, File& out) {
  std::optional<FindingList> findings;
  if (std::optional<MaintenanceReport> compacted = compact_if_sound(input, out, findings)) return *compacted;
  // The compactor carries over only a whole file; salvage keeps what
  // survives of a damaged one, and records the rest in MSysCompactError.
  out.truncate(0);
  return salvage_into(input, findings, out);
}

// The replacement goes through a rename, which only asks the folder for
// permission: a file its owner marked read-only would be replaced all the
// same unless it is refused here. The mode bits bind root too, as the
// attribute binds an administrator on Windows (where the standard library
// reports it as a mode without write bits).
void ensure_not_read_only(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::perms mode = fs::status(path, ec).permissions();
  if (ec) return;  // opening it for reading reports what is wrong
  if ((mode & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) == fs::perms::none) {
    throw Error(ErrorCode::ReadOnly, "Could not use '" + path + "'; file is read-only.");
  }
}

}  // namespace

Version read_version(const std::string& path) {
  const auto file = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  // A damaged header still gives the format its pages betray; what is no
  // Jet database at all raises UnrecognisedFormat.
  SalvageLog ignored;
  return salvage_header(*file, ignored).version;
}

MaintenanceReport compact(const std::string& source, const std::string& destination) {
  const auto input = PosixFile::open(source, PosixFile::Mode::ReadOnly);
  MaintenanceReport report;
  create_atomically(destination, [&](File& out) { report = rewrite(*input, out); });
  return report;
}

MaintenanceReport repair(const std::string& path) {
  // Rewriting a file that another program has open would lose its writes.
  ensure_not_in_use(path);
  ensure_not_read_only(path);
  auto input = PosixFile::open(path, PosixFile::Mode::ReadOnly);
  MaintenanceReport report;
  // The original stays in place, whole, until the rewritten copy is complete
  // and synced; a failure anywhere leaves it untouched. It is closed once
  // read: Windows renames nothing over a file that is open.
  replace_atomically(path, [&](File& out) {
    report = rewrite(*input, out);
    input.reset();
  });
  // A lock file nobody holds (checked again as it goes) is what a crashed
  // program left behind; it describes sessions of the file just replaced.
  remove_stale_lock_file(path);
  return report;
}

}  // namespace jet
