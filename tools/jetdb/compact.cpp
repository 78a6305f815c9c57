// jetdb compact SRC DST: writes a compacted copy of SRC as the new file DST
// (which must not exist); a damaged SRC is salvaged into DST instead. Prints
// the same report as jetdb repair.
//
// Exit status: 0 when everything was carried over, 1 when objects or rows
// had to be left out (each is listed, and recorded in DST's
// MSysCompactError), 2 when SRC is no Jet database or a file cannot be read
// or written (main() reports the error on stderr).
#include <iostream>

#include "command.h"
#include "jet/maintenance.h"
#include "maintenance_report.h"

namespace {

jetdb::Runner setup_compact(CLI::App& app) {
  auto source = std::make_shared<std::string>();
  auto destination = std::make_shared<std::string>();
  app.add_option("source", *source, "The database to compact")->required();
  app.add_option("destination", *destination, "The new, compacted database (must not exist)")->required();
  return [source, destination] {
    const jet::MaintenanceReport report = jet::compact(*source, *destination);
    jetdb::print_maintenance_report(std::cout, report);
    return jetdb::maintenance_exit_status(report);
  };
}

JETDB_COMMAND(compact, "Write a compacted copy of a database to a new file", setup_compact);

}  // namespace
