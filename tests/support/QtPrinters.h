#pragma once

#include <QColor>
#include <QString>

#include <ostream>

// Lets failing assertions show Qt strings as text and colours as #rrggbb.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << colour.name().toStdString();
}
