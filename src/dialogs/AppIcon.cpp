#include "dialogs/AppIcon.h"

#include <QApplication>
#include <QPixmap>

QIcon AppIcon() {
    return QIcon(QPixmap(QStringLiteral(":/Tarvin.xpm")));
}

void SetAppIdentity() {
    QApplication::setApplicationName(QStringLiteral("tarvin"));
    // The Wayland app id; on X11 the entry names the window class, "tarvin".
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVIN_DESKTOP_ID));
    QApplication::setWindowIcon(AppIcon());
}
