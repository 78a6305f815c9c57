#include "maintenance_report.h"

#include "command.h"

namespace jetdb {

void print_maintenance_report(std::ostream& out, const jet::MaintenanceReport& report) {
  out << "format: " << jet::to_string(report.version) << "\n"
      << "size: " << report.source_bytes << " -> " << report.result_bytes << " bytes\n";
  if (report.errors.empty()) {
    out << "nothing was lost\n";
    return;
  }
  out << report.errors.size() << " entries in MSysCompactError:\n";
  for (const auto& entry : report.errors) {
    out << "  " << entry.code << " " << (entry.table.empty() ? "(database)" : entry.table);
    if (entry.record_id != 0) out << " record " << entry.record_id;
    out << ": " << entry.description << "\n";
  }
}

int maintenance_exit_status(const jet::MaintenanceReport& report) {
  return report.errors.empty() ? kExitOk : kExitFindings;
}

}  // namespace jetdb
