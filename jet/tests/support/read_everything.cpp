#include "support/read_everything.h"

#include "jet/base/file.h"
#include "jet/read/database.h"
#include "jet/verify/verify.h"

namespace jet::testing {

ReadOutcome read_everything(const std::vector<std::uint8_t>& image) {
  ReadOutcome outcome;
  MemoryFile file(image);
  try {
    FindingList findings = verify(file);
    outcome.findings = findings.total();
    outcome.findings_above_info = findings.count(Severity::Warning) + findings.count(Severity::Error);
  } catch (const Error& error) {
    outcome.check_error = error;
  }

  // As `jetdb dump --system` reads: every table, every row, every value
  // turned into text. A table that fails does not stop the others.
  try {
    Database db(file);
    for (const CatalogObject& entry : db.tables(true)) {
      try {
        db.table(entry).scan([&](RowPointer, std::vector<Value>& values) {
          for (const Value& value : values) canonical_text(value);
          ++outcome.rows_read;
        });
      } catch (const Error& error) {
        if (!outcome.dump_error) outcome.dump_error = error;
      }
    }
  } catch (const Error& error) {
    if (!outcome.dump_error) outcome.dump_error = error;
  }
  return outcome;
}

}  // namespace jet::testing
