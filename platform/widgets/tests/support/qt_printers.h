// Readable GoogleTest output for Qt values.
#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

inline void PrintTo(const QStringList& list, std::ostream* out) {
  *out << '{';
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (i) *out << ", ";
    PrintTo(list[i], out);
  }
  *out << '}';
}
