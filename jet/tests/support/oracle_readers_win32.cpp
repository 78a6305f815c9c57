#include "support/oracle_readers.h"

// See external_readers_win32.cpp: neither reader runs on Windows, and
// have_mdbtools() and have_mdb_reader() say so before these are asked.
namespace jet::testing {

OracleRead read_with_mdb_export(const std::string&) { return OracleRead{{}, {{"", "mdb-export cannot run here"}}}; }
OracleRead read_with_mdb_reader(const std::string&) { return OracleRead{{}, {{"", "mdb-reader cannot run here"}}}; }

}  // namespace jet::testing
