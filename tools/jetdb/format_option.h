// The --format jet3|jet4 option of the commands that write a new database.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "jet/format/format.h"

namespace jetdb {

// Adds the option; the returned function gives the chosen format once the
// arguments are parsed.
inline std::function<jet::Version()> add_format_option(CLI::App& app) {
  auto name = std::make_shared<std::string>();
  app.add_option("--format", *name, "jet3 (Access 97) or jet4 (Access 2000-2003)")
      ->required()
      ->transform(CLI::IsMember({"jet3", "jet4"}, CLI::ignore_case));
  return [name] { return *name == "jet3" ? jet::Version::Jet3 : jet::Version::Jet4; };
}

}  // namespace jetdb
