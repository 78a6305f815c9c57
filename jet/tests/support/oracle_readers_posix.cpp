#include "support/oracle_readers.h"

#include <sys/wait.h>

#include <cstdio>
#include <sstream>

namespace jet::testing {

namespace {

struct Output {
  std::string text;
  int status = -1;
};

Output run(const std::string& command) {
  Output out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char chunk[4096];
  while (std::size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out.text.append(chunk, n);
  const int status = ::pclose(pipe);
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::string shell_quoted(const std::string& path) { return "'" + path + "'"; }

const std::string kOracle = std::string(JET_SOURCE_DIR) + "/tests/oracle";

}  // namespace

static std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
  return n;
}

OracleRead read_with_mdb_export(const std::string& path) {
  OracleRead read;
  // mdb-tables exits with 0 even when it cannot make sense of the catalog;
  // what it prints on stderr then is the error.
  const Output complaints = run("mdb-tables -1 -S " + shell_quoted(path) + " 2>&1 >/dev/null");
  const Output tables = run("mdb-tables -1 -S " + shell_quoted(path) + " 2>/dev/null");
  if (tables.status != 0 || !complaints.text.empty()) {
    read.errors[""] = complaints.text;
    return read;
  }
  std::istringstream names(tables.text);
  for (std::string table; std::getline(names, table);) {
    if (table.empty()) continue;
    // A row separator no value holds, so that values with line breaks
    // count once.
    const Output rows = run("mdb-export -H -b hex -R '@@ROW@@' " + shell_quoted(path) + " " + shell_quoted(table) + " 2>&1");
    if (rows.status != 0) {
      read.errors[table] = rows.text;
    } else {
      read.rows[table] = count(rows.text, "@@ROW@@");
    }
  }
  return read;
}

OracleRead read_with_mdb_reader(const std::string& path) {
  OracleRead read;
  const Output out = run("node " + shell_quoted(kOracle + "/dump.mjs") + " " + shell_quoted(path) + " 2>&1");
  if (out.status != 0) {
    read.errors[""] = out.text;
    return read;
  }
  // One JSON object a line: {"table":NAME,"row":...} or {"table":NAME,"error":...}.
  const std::string head = "{\"table\":\"";
  std::istringstream lines(out.text);
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
