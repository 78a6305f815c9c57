// jetdb: reads, checks and rewrites Jet databases from the command line.
//
// main() only parses the arguments and maps errors to exit statuses; every
// subcommand is its own file (see command.h). Errors that say the file is no
// Jet database or cannot be read exit with 2, anything else unexpected with 1.
#include <algorithm>
#include <iostream>

#include "command.h"
#include "jet/error.h"

namespace jetdb {

std::vector<Command>& commands() {
  static std::vector<Command> registry;
  return registry;
}

}  // namespace jetdb

namespace {

int status_for(const jet::Error& e) {
  switch (e.code()) {
    case jet::ErrorCode::UnrecognisedFormat:
    case jet::ErrorCode::Corrupt:
    case jet::ErrorCode::Io:
    case jet::ErrorCode::NotFound:
    case jet::ErrorCode::FileInUse:
      return jetdb::kExitUnreadable;
    default:
      return jetdb::kExitFindings;
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Reads, checks and rewrites Jet 3 and Jet 4 (.mdb) databases."};
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
    return status_for(e);
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "jetdb: " << e.what() << "\n";
    return jetdb::kExitFindings;
  }
  return jetdb::kExitOk;
}
