// The two independent readers a repaired database must satisfy: mdbtools
// (mdb-tables and mdb-export) and mdb-reader (through tests/oracle/dump.mjs).
// Each reads every table of a file and says what went wrong, if anything.
#pragma once

#include <set>
#include <string>

namespace jet::testing {

bool have_mdbtools();
bool have_mdb_reader();
// The script through which the tests ask mdb-reader: it prints one JSON
// object a line, {"table":NAME,"row":...} or {"table":NAME,"error":...}.
std::string mdb_reader_script();

// One message for each table mdb-export fails on (or one for mdb-tables
// failing); empty when every table reads.
std::set<std::string> mdbtools_failures(const std::string& path);
// The same for mdb-reader: failing to open the file, or each table it fails on.
std::set<std::string> mdb_reader_failures(const std::string& path);

}  // namespace jet::testing
