#pragma once

#include <QAccessible>
#include <QString>

#include <string>

// Shared by the scene speaker and its strategies for each Qt version.

inline QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline void Notify(QAccessibleInterface* iface, QAccessible::Event type) {
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
}
