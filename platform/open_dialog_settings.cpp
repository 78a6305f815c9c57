#include "platform/open_dialog_settings.h"

#include "platform/runtime_error.h"

namespace dbrepair {

void OpenDialogSettings::Finish(const std::optional<std::string>& chosen) {
  if (chosen) {
    fileName_ = *chosen;
    return;
  }
  if (cancelError_) throw RuntimeError(kCancelErrorNumber, kCancelErrorText);
}

std::vector<FileFilter> ParseFileFilter(const std::string& text) {
  std::vector<FileFilter> filters;
  if (text.empty()) return filters;
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  for (;;) {
    const auto bar = text.find('|', start);
    parts.push_back(text.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    const bool hasPattern = i + 1 < parts.size() && !parts[i + 1].empty();
    if (parts[i].empty() && !hasPattern) continue;  // the tail of a trailing "|"
    filters.push_back({parts[i], hasPattern ? parts[i + 1] : "*.*"});
  }
  return filters;
}

}  // namespace dbrepair
