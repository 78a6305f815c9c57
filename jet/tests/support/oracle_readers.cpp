#include "support/oracle_readers.h"

#include <sstream>

#include "support/shell_command.h"

namespace jet::testing {

namespace {

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

}  // namespace

OracleRead read_with_mdb_export(const std::string& path) {
  OracleRead read;
  // mdb-tables exits with 0 even when it cannot make sense of the catalog;
  // what it prints on stderr then is the error.
  const ShellResult complaints = run_shell("mdb-tables -1 -S " + shell_quoted(path) + " 2>&1 >/dev/null");
  const ShellResult tables = run_shell("mdb-tables -1 -S " + shell_quoted(path) + " 2>/dev/null");
  if (tables.status != 0 || !complaints.out.empty()) {
    read.errors[""] = complaints.out;
    return read;
  }
  std::istringstream names(tables.out);
  for (std::string table; std::getline(names, table);) {
    if (table.empty()) continue;
    // A row separator no value holds, so that values with line breaks
    // count once.
    const ShellResult rows = run_shell("mdb-export -H -b hex -R '@@ROW@@' " + shell_quoted(path) + " " + shell_quoted(table) + " 2>&1");
    if (rows.status != 0) {
      read.errors[table] = rows.out;
    } else {
      read.rows[table] = count(rows.out, "@@ROW@@");
    }
  }
  return read;
}

OracleRead read_with_mdb_reader(const std::string& path) {
  OracleRead read;
  const ShellResult out = run_shell("node " + shell_quoted(mdb_reader_script()) + " " + shell_quoted(path) + " 2>&1");
  if (out.status != 0) {
    read.errors[""] = out.out;
    return read;
  }
  // One JSON object a line: {"table":NAME,"row":...} or {"table":NAME,"error":...}.
  const std::string head = "{\"table\":\"";
  std::istringstream lines(out.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(head, 0) != 0) continue;
    const std::size_t row = line.find("\",\"row\":", head.size());
    const std::size_t error = line.find("\",\"error\":", head.size());
    if (row != std::string::npos && (error == std::string::npos || row < error)) {
      ++read.rows[line.substr(head.size(), row - head.size())];
    } else if (error != std::string::npos) {
      read.errors[line.substr(head.size(), error - head.size())] = line.substr(error);
    }
  }
  return read;
}

}  // namespace jet::testing
