// Shows the launcher's error in the game's error box, for a player who
// started the game from the desktop and has no terminal to read. The reason
// also goes to the standard error, so it is read where no box can show, as
// without a display. Always exits with status 1: the game did not start.

#include "dialogs/AppIcon.h"
#include "dialogs/ErrorBox.h"
#include "dialogs/GameFont.h"

#include <QApplication>

#include <cstdio>
#include <unistd.h>

namespace {
// Qt gives up for good (no display, no platform plugin) with a fatal
// message and then aborts; the reason is already on the standard error, so
// this ends as any failed start does.
void ExitOnFatal(QtMsgType type, const QMessageLogContext&, const QString& message) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    if (type == QtFatalMsg)
        ::_exit(1);
}
} // namespace

int main(int argc, char** argv) {
    const char* const reason = argc > 1 ? argv[1] : "Неизвестная ошибка";
    std::fprintf(stderr, "tarvin: %s\n", reason);
    std::fflush(stderr);
    qInstallMessageHandler(ExitOnFatal);
    QApplication app(argc, argv);
    SetAppIdentity();
    QApplication::setFont(GameFont());
    ShowErrorBox(QString::fromUtf8(reason));
    return 1;
}
