#pragma once

#include "dialogs/AppIcon.h" // SetAppIdentity
#include "records/FrmNameTarvin.h"
#include "records/FrmTable.h"
#include "ui/FrmAboutTarvin.h"
#include "ui/FrmGL.h"

// The game's four windows, created in this order and destroyed in reverse,
// so the main window goes last. The dialogs stay hidden until shown modally.
struct TTarvinWindows {
    explicit TTarvinWindows(TBoardState& board);

    TFrmGL FrmGL;
    TFrmTable FrmTable;
    TFrmAboutTarvin FrmAbout;
    TFrmNameTarvin FrmName;
};

// Starts the game: creates its windows and runs until the main window
// closes. Returns the program's exit code.
int RunTarvin(int argc, char** argv);
