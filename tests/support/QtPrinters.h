#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <ostream>

// Lets failing assertions show Qt strings as text and colours as #rrggbb.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QColor& colour, std::ostream* out) {
    *out << colour.name().toStdString();
}

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.width() << " x " << rect.height() << " at " << rect.x() << ", " << rect.y();
}
