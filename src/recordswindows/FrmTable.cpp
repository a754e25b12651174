#include "recordswindows/FrmTable.h"

#include "dialogs/ErrorBox.h"
#include "speech/BoardSpeech.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QTimer>

#include <exception>

namespace {
constexpr int ColumnWidth = 120;
constexpr int RowHeight = 20;
const QColor TextColour(0, 0, 128); // navy
} // namespace

// The table as the grid sees it: row 0 of the table becomes the fixed
// horizontal header, so it stays in place while the entries scroll.
class TRecordsModel : public QAbstractTableModel {
public:
    TRecordsModel(const TRecordsTable& table, QObject* parent)
        : QAbstractTableModel(parent), Table(table) {}

    // The table changes behind the model's back; every change in the records
    // window is wrapped in these (see TModelChange).
    void BeginChange() { beginResetModel(); }
    void EndChange() { endResetModel(); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : Table.RowCount() - 1;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : TRecordsTable::ColumnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() + 1 >= Table.RowCount())
            return {};
        return CellData(index.column(), index.row() + 1, role);
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= TRecordsTable::ColumnCount)
            return {};
        return CellData(section, 0, role);
    }

    // The blank slot at the end is shown but cannot be reached: the keys and
    // a screen reader only land on entries.
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() && index.row() + 2 < Table.RowCount()
                   ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                   : Qt::NoItemFlags;
    }

private:
    QVariant CellData(int col, int row, int role) const {
        switch (role) {
        case Qt::DisplayRole:
            return Table.Cell(col, row);
        case Qt::AccessibleTextRole: // times read as times, not as «0 : 4 : 33»
            if (col == 1 && row > 0)
                return QString::fromStdString(RecordTimeSpeech(Table.Cell(col, row).toStdString()));
            return Table.Cell(col, row);
        case Qt::ForegroundRole:
            return TextColour;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

    const TRecordsTable& Table;
};

namespace {
// Keeps the view consistent even when the change in between fails.
class TModelChange {
public:
    explicit TModelChange(TRecordsModel& model) : Model(model) { Model.BeginChange(); }
    TModelChange(const TModelChange&) = delete;
    TModelChange& operator=(const TModelChange&) = delete;
    ~TModelChange() { Model.EndChange(); }

private:
    TRecordsModel& Model;
};
} // namespace

TFrmTable::TFrmTable(QWidget* mainWindow)
    : TFixedDialog(mainWindow, QStringLiteral("Таблица рекордов игры \"Тарвин\""), 280, 206),
      TableGrid(new QTableView(this)), BtnExit(new QPushButton(QStringLiteral("Выход"), this)),
      BtnClear(new QPushButton(QStringLiteral("Удалить все рекорды"), this)),
      Model(new TRecordsModel(Table, this)) {
    TableGrid->setObjectName(QStringLiteral("TableGrid"));
    TableGrid->setGeometry(10, 10, 261, 161);
    TableGrid->setModel(Model);
    TableGrid->setFrameShape(QFrame::NoFrame);
    TableGrid->setShowGrid(true);
    TableGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    TableGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableGrid->setWordWrap(false);
    // Only a horizontal bar; the wheel and the keys still scroll the entries.
    TableGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TableGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TableGrid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    QHeaderView* const rows = TableGrid->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(RowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* const header = TableGrid->horizontalHeader();
    header->setMinimumSectionSize(1);
    header->setDefaultSectionSize(ColumnWidth);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(RowHeight);

    BtnExit->setObjectName(QStringLiteral("BtnExit"));
    BtnExit->setGeometry(200, 180, 71, 21);
    BtnExit->setDefault(true);
    BtnClear->setObjectName(QStringLiteral("BtnClear"));
    BtnClear->setGeometry(10, 180, 131, 21);

    TableGrid->installEventFilter(this);

    connect(BtnExit, &QPushButton::clicked, this,
            [this] { RunHandler([this] { BtnExitClick(); }); });
    connect(BtnClear, &QPushButton::clicked, this,
            [this] { RunHandler([this] { BtnClearClick(); }); });
}

void TFrmTable::LoadRecordsFile() {
    TModelChange change(*Model);
    Store.Load();
}

void TFrmTable::AddRecord(const QString& name, const QString& time) {
    AddUnsavedRecord(name, time);
    SaveRecordsFile();
}

void TFrmTable::AddUnsavedRecord(const QString& name, const QString& time) {
    TModelChange change(*Model);
    Store.Add(name, time);
}

void TFrmTable::SaveRecordsFile() {
    // The wait for another game's save comes first, with the grid as it is.
    TRecordsUpdate file;
    TModelChange change(*Model);
    Store.Save(file);
}

void TFrmTable::FormActivate() {
    QString error;
    {
        TModelChange change(*Model);
        Table.SetCell(0, 0, QStringLiteral("Имя игрока"));
        Table.SetCell(1, 0, QStringLiteral("Время"));
        try {
            Store.Load();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
    }
    // Shown from the event loop so the box comes up over this window.
    if (!error.isEmpty())
        QTimer::singleShot(0, this, [error] { ShowErrorBox(error); });
}

void TFrmTable::BtnClearClick() {
    TRecordsUpdate file;
    TModelChange change(*Model);
    Store.Clear(file);
}

bool TFrmTable::eventFilter(QObject* watched, QEvent* event) {
    if (watched != TableGrid)
        return TFixedDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        // Past the first or the last entry the arrows go on to the buttons,
        // as they do from button to button: every key lands where a screen
        // reader has something to tell.
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int row = TableGrid->currentIndex().row();
        const int entries = Table.RowCount() - TRecordsTable::MinRowCount;
        if ((key == Qt::Key_Up && row <= 0) || (key == Qt::Key_Down && row >= entries - 1)) {
            focusNextPrevChild(key == Qt::Key_Down);
            return true;
        }
    }
    // Qt tells a screen reader of the grid as it takes the focus, not of its
    // entry; the entry is made current again after it, and so told.
    if (event->type() == QEvent::FocusIn && Table.RowCount() > TRecordsTable::MinRowCount)
        QTimer::singleShot(0, this, [this] {
            const QModelIndex current = TableGrid->currentIndex();
            TableGrid->setCurrentIndex({});
            TableGrid->setCurrentIndex(current.isValid() ? current : Model->index(0, 0));
        });
    return false;
}

void TFrmTable::showEvent(QShowEvent* event) {
    TFixedDialog::showEvent(event);
    if (event->spontaneous())
        return; // brought back from the taskbar, not opened
    Guarded([this] {
        FormActivate();
        BtnExit->setFocus();
    });
}
