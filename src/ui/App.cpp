#include "ui/App.h"

#include "dialogs/GameFont.h"
#include "game/BoardState.h"
#include "dialogs/AppIcon.h"

#include <QApplication>
#include <QScreen>

TTarvinWindows::TTarvinWindows(TBoardState& board)
    : FrmGL(board), FrmTable(&FrmGL), FrmAbout(&FrmGL), FrmName(&FrmGL, FrmTable) {
    FrmGL.SetDialogs(&FrmTable, &FrmAbout, &FrmName);
}

int RunTarvin(int argc, char** argv) {
    QApplication app(argc, argv);
    SetAppIdentity();
    QApplication::setFont(GameFont());

    // The one board of the program; the first game starts at once.
    TBoardState board = InitialBoardState();
    TTarvinWindows windows(board);
    TFrmGL& frmGL = windows.FrmGL;
    if (!frmGL.SceneReady())
        return 1; // the error box has told why

    frmGL.adjustSize();
    if (const QScreen* screen = frmGL.screen())
        frmGL.move(screen->availableGeometry().center() - frmGL.rect().center());
    frmGL.show();
    // A bare X server gives no window the focus by itself.
    frmGL.activateWindow();
    return app.exec();
}
