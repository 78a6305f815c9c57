#include "platform/widgets/file_filter.h"

#include <QString>
#include <QStringList>

namespace dbrepair {

std::vector<FileFilter> parseFileFilter(const std::string& text) {
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

QString qtNameFilter(const FileFilter& filter) {
  QStringList patterns;
  const QStringList windowsPatterns =
      QString::fromStdString(filter.patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (const QString& raw : windowsPatterns) {
    const QString pattern = raw.trimmed();
    if (pattern.isEmpty()) continue;
    patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
  }
  if (patterns.isEmpty()) patterns << QStringLiteral("*");
  return QString::fromStdString(filter.description) + QStringLiteral(" (") +
         patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace dbrepair
