// The Open dialog's file-type filter: the text "description|pattern|..."
// of the dialog component, turned into Qt name filters.
#pragma once

#include <string>
#include <vector>

class QString;

namespace dbrepair {

struct FileFilter {
  std::string description;  // shown to the user, e.g. "All Files (*.*)"
  std::string patterns;     // ";"-separated, e.g. "*.mdb;*.mde"
};

// Splits the filter text at "|" into description and pattern pairs, in order.
// Empty text gives no filters; a description without its pattern (an odd
// number of parts, or a trailing "|") gets the pattern "*.*".
std::vector<FileFilter> parseFileFilter(const std::string& text);

// The Qt name filter for one pair: "description (patterns)", the patterns
// blank-separated. "*.*" means every file, as it does in the filter text, so
// it becomes "*" (Qt's "*.*" would hide names without a dot). The dialog
// hides the part in parentheses, so the user sees the description alone.
QString qtNameFilter(const FileFilter& filter);

}  // namespace dbrepair
