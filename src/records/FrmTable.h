#pragma once

#include "dialogs/FixedDialog.h"
#include "records/RecordsTable.h"

class QPushButton;
class QTableView;
class TRecordsModel;

// The records window. It owns the program's one records table: the main
// window loads it at start-up and saves it at exit through Records().
class TFrmTable : public TFixedDialog {
public:
    explicit TFrmTable(QWidget* mainWindow);

    TRecordsTable& Records() { return Table; }
    const TRecordsTable& Records() const { return Table; }

    // Call after changing Records() from outside, so the grid follows.
    void Refresh();

    // Runs each time the window is shown: sets the header and reloads the
    // file. A load error is shown once the window is up; it still opens.
    void FormActivate();
    void BtnClearClick();
    void BtnExitClick() { Close(); }

    QTableView* const TableGrid;
    QPushButton* const BtnExit;
    QPushButton* const BtnClear;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TRecordsTable Table;
    TRecordsModel* const Model;
};
