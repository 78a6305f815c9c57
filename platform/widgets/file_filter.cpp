#include "platform/widgets/file_filter.h"

#include <QString>
#include <QStringList>

namespace dbrepair {

QString QtNameFilter(const FileFilter& filter) {
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
