// The two independent readers the engine's output is checked against:
// mdbtools' mdb-export and the mdb-reader npm package (through
// tests/oracle/dump.mjs). Each is asked to read every table of a file.
#pragma once

#include <map>
#include <string>

#include "support/external_readers.h"  // have_mdbtools, have_mdb_reader

namespace jet::testing {

// What one reader made of a file: the rows it read per table, and per table
// (or "" for the whole file) the error that stopped it.
struct OracleRead {
  std::map<std::string, std::size_t> rows;
  std::map<std::string, std::string> errors;
};

// Every table mdb-tables lists (system tables included), each read by
// mdb-export.
OracleRead read_with_mdb_export(const std::string& path);

// Every table, system tables included, read by mdb-reader.
OracleRead read_with_mdb_reader(const std::string& path);

}  // namespace jet::testing
