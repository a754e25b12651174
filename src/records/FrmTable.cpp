#include "records/FrmTable.h"

#include "dialogs/ErrorBox.h"

#include <QAbstractTableModel>
#include <QHeaderView>
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

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

private:
    QVariant CellData(int col, int row, int role) const {
        switch (role) {
        case Qt::DisplayRole:
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

void TFrmTable::showEvent(QShowEvent* event) {
    TFixedDialog::showEvent(event);
    if (event->spontaneous())
        return; // brought back from the taskbar, not opened
    Guarded([this] {
        FormActivate();
        BtnExit->setFocus();
    });
}
