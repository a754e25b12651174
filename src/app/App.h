#pragma once

#include "dialogs/AppIcon.h" // SetAppIdentity
#include "recordswindows/FrmNameTarvin.h"
#include "recordswindows/FrmTable.h"
#include "ui/FrmAboutTarvin.h"
#include "ui/FrmGL.h"

#include <optional>

// The game's four windows, created in this order and destroyed in reverse,
// so the main window goes last. The main window comes first and at once; the
// three dialogs, which the first picture does not need, once it is on the
// screen, or earlier when the main window needs one of them (see
// TFrmGL::FinishStartUp). They stay hidden until shown modally.
struct TTarvinWindows {
    explicit TTarvinWindows(TBoardState& board);

    TFrmGL FrmGL;
    std::optional<TFrmTable> FrmTable;
    std::optional<TFrmAboutTarvin> FrmAbout;
    std::optional<TFrmNameTarvin> FrmName;

    // The session ends the game, not the player: a name still being asked
    // for goes in as the field holds it, then the game ends as on Escape.
    void EndSession();
    // The same from exit(), with the event loop and the display gone: the
    // records are saved and nothing is shown.
    void SaveAtExit();

private:
    void CreateDialogs();
};

// Starts the game: creates its windows and runs until the main window
// closes. Returns the program's exit code.
int RunTarvin(int argc, char** argv);
