// The Open dialog's file-type filter: the text "description|pattern|..."
// of the dialog component, turned into Qt name filters.
#pragma once

#include "platform/open_dialog_settings.h"

class QString;

namespace dbrepair {

// The Qt name filter for one pair: "description (patterns)", the patterns
// blank-separated. "*.*" means every file, as it does in the filter text, so
// it becomes "*" (Qt's "*.*" would hide names without a dot). The dialog
// hides the part in parentheses, so the user sees the description alone.
QString QtNameFilter(const FileFilter& filter);

}  // namespace dbrepair
