#pragma once

#include "dialogs/FixedDialog.h"

#include <QString>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class TFrmTable;

// Asks the player who solved the puzzle for a name, records it with the
// solving time and shows the records window.
class TFrmNameTarvin : public TFixedDialog {
public:
    // The longest name the player can type or paste.
    static constexpr int MaxNameLength = 20;

    TFrmNameTarvin(QWidget* mainWindow, TFrmTable& recordsWindow);

    // Opens the dialog modally. solvedTime is the clock text taken when the
    // puzzle was solved; closing by the window's close button records nothing.
    void BeginNameEntry(const std::string& solvedTime);

    void Button1Click();
    // While the dialog asks for a name: records the one the field holds,
    // unsaved (the game is ending and saves at its close).
    void EndNameEntry();

    QLabel* const Label1;
    QLineEdit* const Edit1;
    QPushButton* const Button1;

private:
    TFrmTable& RecordsWindow;
    QString SolvedTime;
    bool Asking = false;
};
