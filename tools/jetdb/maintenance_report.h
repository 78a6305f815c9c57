// Printing what a repair or compaction did, the same way for both.
#pragma once

#include <ostream>

#include "jet/maintenance.h"

namespace jetdb {

// The format, the sizes before and after, and one line per loss recorded in
// MSysCompactError: code, table, record id and description.
void print_maintenance_report(std::ostream& out, const jet::MaintenanceReport& report);

// kExitOk when nothing was lost, kExitFindings otherwise.
int maintenance_exit_status(const jet::MaintenanceReport& report);

}  // namespace jetdb
