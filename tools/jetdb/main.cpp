// jetdb: reads, checks and rewrites Jet databases from the command line.
//
// main() only parses the arguments and maps errors to exit statuses; every
// subcommand is its own file (see command.h). Errors that say the file is no
// Jet database, cannot be read or written, is in use, or anything else that
// stops a command from doing its work exits with 2 (kExitUnreadable): 1 is
// kept for a command that ran and found or lost something.
#include <algorithm>
#include <iostream>

#include "command.h"
#include "dbrepair_version.h"
#include "jet/base/error.h"

namespace jetdb {

std::vector<Command>& commands() {
  static std::vector<Command> registry;
  return registry;
}

}  // namespace jetdb

int main(int argc, char** argv) {
  CLI::App app{"Reads, checks and rewrites Jet 3 and Jet 4 (.mdb) databases."};
  // "jetdb 1.0.0", the form help2man reads the version from for the manual page.
  app.set_version_flag("--version", std::string("jetdb ") + DBREPAIR_VERSION, "Print the version and exit");
  app.require_subcommand(1);
  auto& registry = jetdb::commands();
  std::sort(registry.begin(), registry.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  std::vector<std::pair<CLI::App*, jetdb::Runner>> runners;
  for (const auto& command : registry) {
    CLI::App* sub = app.add_subcommand(command.name, command.description);
    runners.emplace_back(sub, command.setup(*sub));
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  try {
    for (auto& [sub, run] : runners) {
      if (sub->parsed()) return run();
    }
  } catch (const jet::Error& e) {
    std::cout.flush();
    std::cerr << "jetdb: " << e.what() << "\n";
    return jetdb::kExitUnreadable;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "jetdb: " << e.what() << "\n";
    return jetdb::kExitUnreadable;
  }
  return jetdb::kExitOk;
}
