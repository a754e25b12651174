// Shows the launcher's error in the game's error box, for a player who
// started the game from the desktop and has no terminal to read. Always
// exits with status 1: the game did not start.

#include "dialogs/ErrorBox.h"
#include "dialogs/GameFont.h"
#include "ui/App.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetAppIdentity();
    QApplication::setFont(GameFont());
    ShowErrorBox(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("Unknown error"));
    return 1;
}
