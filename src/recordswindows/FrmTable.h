#pragma once

#include "dialogs/FixedDialog.h"
#include "records/RecordsStore.h"
#include "recordsformat/RecordsTable.h"

#include <QString>

class QPushButton;
class QTableView;
class TRecordsModel;

// The records window. It owns the program's one records table: the main
// window loads it at start-up and saves it at exit, the name entry adds to
// it, all through the calls below, so the grid always follows.
class TFrmTable : public TFixedDialog {
public:
    explicit TFrmTable(QWidget* mainWindow);

    const TRecordsTable& Records() const { return Table; }

    // See TRecordsStore: Load, Add and Save. A save that finds another
    // game's save under way waits for it without freezing the window (see
    // TRecordsUpdate).
    void LoadRecordsFile();
    void AddRecord(const QString& name, const QString& time);
    void AddUnsavedRecord(const QString& name, const QString& time);
    void SaveRecordsFile();

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
    // The grid's arrow keys at the ends of the entries and its focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TRecordsTable Table;
    TRecordsStore Store{Table};
    TRecordsModel* const Model;
};
