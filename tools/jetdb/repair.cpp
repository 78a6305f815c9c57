// jetdb repair FILE: salvages the database and replaces it with the result.
#include <iostream>

#include "command.h"
#include "jet/maintenance.h"
#include "maintenance_report.h"

namespace {

jetdb::Runner setup_repair(CLI::App& app) {
  auto path = std::make_shared<std::string>();
  app.add_option("file", *path, "The database, replaced by its repaired copy")->required();
  return [path] {
    jet::MaintenanceReport report = jet::repair(*path);
    jetdb::print_maintenance_report(std::cout, report);
    return jetdb::maintenance_exit_status(report);
  };
}

JETDB_COMMAND(repair, "Salvage a damaged database in place; losses go to MSysCompactError", setup_repair);

}  // namespace
