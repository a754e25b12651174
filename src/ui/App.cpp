#include "ui/App.h"

#include "game/BoardState.h"
#include "records/FrmNameTarvin.h"
#include "records/FrmTable.h"
#include "ui/AppIcon.h"
#include "ui/FrmAboutTarvin.h"
#include "ui/FrmGL.h"

#include <QApplication>
#include <QFont>
#include <QScreen>

int RunTarvin(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("tarvin"));
    app.setWindowIcon(AppIcon());
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    // The one board of the program; the first game starts at once.
    TBoardState board = InitialBoardState();

    // Created in this order and destroyed in reverse, the main window last.
    TFrmGL frmGL(board);
    TFrmTable frmTable(&frmGL);
    TFrmAboutTarvin frmAbout(&frmGL);
    TFrmNameTarvin frmName(&frmGL, frmTable);
    frmGL.SetDialogs(&frmTable, &frmAbout, &frmName);

    frmGL.adjustSize();
    if (const QScreen* screen = frmGL.screen())
        frmGL.move(screen->availableGeometry().center() - frmGL.rect().center());
    frmGL.show();
    // A bare X server gives no window the focus by itself.
    frmGL.activateWindow();
    return app.exec();
}
