#include "support/external_readers.h"

#include <filesystem>
#include <sstream>

#include "support/shell_command.h"

namespace jet::testing {

bool have_mdbtools() { return have_program("mdb-export"); }

std::string mdb_reader_script() { return std::string(JET_SOURCE_DIR) + "/tests/oracle/dump.mjs"; }

bool have_mdb_reader() {
  return have_program("node") &&
         std::filesystem::exists(std::string(JET_SOURCE_DIR) + "/tests/oracle/node_modules/mdb-reader");
}

std::set<std::string> mdbtools_failures(const std::string& path) {
  // -S lists the system tables too.
  ShellResult tables = run_shell("mdb-tables -1 -S " + shell_quoted(path) + " 2>/dev/null");
  if (tables.status != 0) return {"mdb-tables fails on the file"};
  std::set<std::string> failures;
  std::istringstream lines(tables.out);
  for (std::string table; std::getline(lines, table);) {
    if (table.empty()) continue;
    if (run_shell("mdb-export " + shell_quoted(path) + " " + shell_quoted(table) + " >/dev/null 2>&1").status != 0) {
      failures.insert("mdb-export fails on table " + table);
    }
  }
  return failures;
}

std::set<std::string> mdb_reader_failures(const std::string& path) {
  ShellResult dump = run_shell("node " + shell_quoted(mdb_reader_script()) + " " + shell_quoted(path) + " 2>/dev/null");
  if (dump.status != 0) return {"mdb-reader cannot open the file"};
  std::set<std::string> failures;
  std::istringstream lines(dump.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("\"error\":") != std::string::npos && line.rfind("{\"table\":", 0) == 0 &&
        line.find("\"row\":") == std::string::npos) {
      failures.insert("mdb-reader fails on " + line);
    }
  }
  return failures;
}

}  // namespace jet::testing
