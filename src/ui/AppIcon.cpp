#include "ui/AppIcon.h"

#include <QPixmap>

QIcon AppIcon() {
    return QIcon(QPixmap(QStringLiteral(":/Tarvin.xpm")));
}
