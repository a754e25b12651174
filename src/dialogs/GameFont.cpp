#include "dialogs/GameFont.h"

#include <QStringList>

QFont GameFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(11);
    return font;
}
