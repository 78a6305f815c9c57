// jetdb check FILE: verifies a database and prints every finding, then a
// summary line.
//
// Exit status: 0 when nothing is above info, 1 when something is, 2 when the
// file is no Jet 3 or Jet 4 database or cannot be read (main() reports the
// error on stderr).
#include <iostream>

#include "command.h"
#include "jet/verify/verify.h"

namespace {

jetdb::Runner setup_check(CLI::App& app) {
  auto path = std::make_shared<std::string>();
  app.add_option("file", *path, "The database")->required();
  return [path] {
    jet::FindingList findings = jet::verify(*path);
    std::cout << jet::format_report(findings);
    std::cout.flush();
    return findings.clean() ? jetdb::kExitOk : jetdb::kExitFindings;
  };
}

JETDB_COMMAND(check, "Verify every structure and list what is inconsistent", setup_check);

}  // namespace
