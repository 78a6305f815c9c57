#include "support/external_readers.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <vector>

namespace jet::testing {

namespace {

struct Outcome {
  int status = -1;
  std::string out;
};

// Runs a shell command, standard error discarded.
Outcome run(const std::string& command) {
  Outcome outcome;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return outcome;
  char chunk[4096];
  while (std::size_t n = fread(chunk, 1, sizeof chunk, pipe)) outcome.out.append(chunk, n);
  int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::string shell_quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

const std::string kOracle = std::string(JET_SOURCE_DIR) + "/tests/oracle";

}  // namespace

bool have_mdbtools() { return run("command -v mdb-export").status == 0; }

bool have_mdb_reader() {
  return run("command -v node").status == 0 && std::filesystem::exists(kOracle + "/node_modules/mdb-reader");
}

std::set<std::string> mdbtools_failures(const std::string& path) {
  // -S lists the system tables too.
  Outcome tables = run("mdb-tables -1 -S " + shell_quoted(path));
  if (tables.status != 0) return {"mdb-tables fails on the file"};
  std::set<std::string> failures;
  std::istringstream lines(tables.out);
  for (std::string table; std::getline(lines, table);) {
    if (table.empty()) continue;
    if (run("mdb-export " + shell_quoted(path) + " " + shell_quoted(table) + " >/dev/null").status != 0) {
      failures.insert("mdb-export fails on table " + table);
    }
  }
  return failures;
}

std::set<std::string> mdb_reader_failures(const std::string& path) {
  Outcome dump = run("node " + shell_quoted(kOracle + "/dump.mjs") + " " + shell_quoted(path));
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
