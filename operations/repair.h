// Repair: the DAO engine repairs the data file in place; when it does not
// recognise the format (3343), the compaction repair RepairJet4 compacts the
// file into a temporary file beside it and copies the result back.
#pragma once

#include <string>

#include "operations/command_context.h"

namespace dbrepair {

// The temporary compaction file: temp.mdb in the data file's folder, or,
// when the data file is itself named temp.mdb in any letter case, a name
// that cannot be the data file's.
std::string TemporaryCompactionPath(const std::string& data_file);

enum class RepairJet4Outcome {
  Finished,  // ran to its end (after errors the user chose to pass)
  Quit,      // the user chose to leave: the window is unloaded
};

// The compaction repair, with its own error trap (" Location: RepairJet4").
// Shows "Database Repair Completed" and restores the normal pointer at its
// end. The data file is replaced only by a compaction this run completed.
RepairJet4Outcome RepairJet4(CommandContext& context, const std::string& data_file);

// The Repair command (Command1_Click).
void RepairCommand(CommandContext& context);

}  // namespace dbrepair
