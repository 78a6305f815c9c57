// The subcommands of jetdb.
//
// Each subcommand lives in its own source file and registers itself with a
// file-scope JETDB_COMMAND, so that main() knows nothing about any of them:
//
//   JETDB_COMMAND(info, "Show the header and tables of a database",
//                 [](CLI::App& app) { ...add options...; return [=] { ...; return 0; }; });
//
// setup adds the subcommand's options and returns the function that runs it
// once the arguments are parsed; that function returns the exit status.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

namespace jetdb {

// Exit statuses shared by every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFindings = 1;      // the command ran; what it found is not clean
constexpr int kExitUnreadable = 2;    // refused or failed: no Jet database, a file that cannot be
                                      // read or written, a database in use

using Runner = std::function<int()>;
using Setup = std::function<Runner(CLI::App& subcommand)>;

struct Command {
  std::string name;
  std::string description;
  Setup setup;
};

std::vector<Command>& commands();

struct Registration {
  Registration(std::string name, std::string description, Setup setup) {
    commands().push_back(Command{std::move(name), std::move(description), std::move(setup)});
  }
};

#define JETDB_COMMAND(name, description, setup) \
  static const ::jetdb::Registration jetdb_command_##name{#name, description, setup}

}  // namespace jetdb
