#include "app/App.h"

#include "app/ExitDeadline.h"
#include "app/SessionEnd.h"
#include "dialogs/AppIcon.h"
#include "dialogs/ErrorBox.h"
#include "dialogs/GameFont.h"
#include "game/BoardState.h"
#include "records/RecordsFile.h"
#include "speech/SceneSpeaker.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include <malloc.h>
#include <sys/stat.h>

TTarvinWindows::TTarvinWindows(TBoardState& board) : FrmGL(board) {
    FrmGL.SetDeferredStartUp([this] { CreateDialogs(); });
}

void TTarvinWindows::CreateDialogs() {
    FrmTable.emplace(&FrmGL);
    FrmAbout.emplace(&FrmGL);
    FrmName.emplace(&FrmGL, *FrmTable);
    FrmGL.SetDialogs(&*FrmTable, &*FrmAbout, &*FrmName);
}

void TTarvinWindows::EndSession() {
    // A save under way ends first, in a loop of its own: the save at the
    // close would only wait for its file.
    if (RecordsFileTaken()) {
        QTimer::singleShot(10, &FrmGL, [this] { EndSession(); });
        return;
    }
    if (FrmName)
        FrmName->EndNameEntry();
    // Every dialog's loop ends, and none opened later waits for the player.
    QCoreApplication::exit(0);
    FrmGL.close();
}

void TTarvinWindows::SaveAtExit() {
    // Without the dialogs no entry was made that could be lost; a save under
    // way (exit() came from its loop) holds everything but an unsaved name.
    if (!FrmTable)
        return;
    StopWaitingInEventLoop();
    if (RecordsFileTaken())
        return;
    if (FrmName)
        FrmName->EndNameEntry();
    try {
        FrmTable->SaveRecordsFile();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
}

namespace {
// Without a session bus, the D-Bus client Qt loads (for the menu bar and a
// screen reader) would start one of its own through dbus-launch, which
// outlives the game until the display closes. libdbus finds the user's bus
// by itself; where there is none, it is given an address of no transport
// it knows, so it connects to nothing and starts nothing. Only the game's
// own process sees that address.
void KeepDBusFromStartingABus() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 &&
        S_ISSOCK(info.st_mode))
        return;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}
} // namespace

int RunTarvin(int argc, char** argv) {
    // The software GL renderer allocates and frees its vertex buffers in
    // every frame. By default the C library gives that memory back to the
    // system each time and the next frame faults it in again, page by page,
    // which costs about a third of a frame; a few megabytes kept for reuse
    // avoid it.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
    KeepDBusFromStartingABus();
    QApplication app(argc, argv);
    TSceneSpeaker::InstallFactory(); // after QApplication's own factory
    SetAppIdentity();
    QApplication::setFont(GameFont());

    // The one board of the program; the first game starts at once.
    TBoardState board = InitialBoardState();
    TTarvinWindows windows(board);
    TFrmGL& frmGL = windows.FrmGL;
    if (!frmGL.SceneReady()) {
        ArmExitDeadline(1); // the error box has told why
        return 1;
    }

    frmGL.adjustSize();
    if (const QScreen* screen = frmGL.screen())
        frmGL.move(screen->availableGeometry().center() - frmGL.rect().center());
    frmGL.show();
    // A bare X server gives no window the focus by itself.
    frmGL.activateWindow();
    // A session manager saving the session (at logout) saves the records.
    QObject::connect(&app, &QGuiApplication::saveStateRequest, &frmGL,
                     [&windows] { Guarded([&windows] { windows.FrmGL.FormClose(); }); });
    const TSessionEnd sessionEnd([&windows] { windows.EndSession(); },
                                 [&windows] { windows.SaveAtExit(); });
    const int status = app.exec();
    ArmExitDeadline(status);
    return status;
}
