// The two independent readers a repaired database must satisfy: mdbtools
// (mdb-tables and mdb-export) and mdb-reader (through tests/oracle/dump.mjs).
// Each reads every table of a file and says what went wrong, if anything.
#pragma once

#include <optional>
#include <string>

namespace jet::testing {

bool have_mdbtools();
bool have_mdb_reader();

// The first table mdb-export fails on (or mdb-tables failing), as a message;
// nothing when every table reads.
std::optional<std::string> mdbtools_failure(const std::string& path);
// The same for mdb-reader: failing to open the file or any table.
std::optional<std::string> mdb_reader_failure(const std::string& path);

}  // namespace jet::testing
