// Restore New and Restore Old: put the data file back from the product's own
// backups (bare name + ".bak" or ".bak2" beside it), chosen by their
// last-write dates, then repair it.
#pragma once

#include <string>

#include "operations/command_context.h"
#include "platform/date.h"

namespace dbrepair {

enum class RestoreChoice { Newest, Oldest };

enum class ProductBackup { Bak, Bak2 };

// When both backups exist: Newest takes .bak only when it is strictly later,
// Oldest only when it is strictly earlier; a tie goes to .bak2.
ProductBackup ChooseBackup(RestoreChoice choice, const Date& bak_date, const Date& bak2_date);

// The product backup path: folder + bare name + extension (".bak", ".bak2").
std::string ProductBackupPath(const std::string& data_file, const std::string& extension);

// The whole command, with its error trap (" Location: cmdRestore_Click").
void RestoreFromBackup(CommandContext& context, RestoreChoice choice);

}  // namespace dbrepair
