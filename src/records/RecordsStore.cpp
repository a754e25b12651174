#include "records/RecordsStore.h"

namespace {
// Fills the table's last row, or a new one after it when it is not blank
// (a file the game did not write may end in a real entry), then adds the
// next blank slot.
void AppendEntry(TRecordsTable& table, const QString& name, const QString& time) {
    int slot = table.RowCount() - 1;
    if (!table.Cell(0, slot).isEmpty() || !table.Cell(1, slot).isEmpty())
        table.SetRowCount(++slot + 1);
    table.SetCell(0, slot, name);
    table.SetCell(1, slot, time);
    table.SetRowCount(slot + 2);
}
} // namespace

void TRecordsStore::AppendUnsaved(TRecordsTable& table) const {
    for (const auto& [name, time] : Unsaved)
        AppendEntry(table, name, time);
}

void TRecordsStore::Load() {
    QByteArray bytes = ReadRecordsFile();
    TRecordsTable loaded = RecordsFromBytes(bytes, Table);
    AppendUnsaved(loaded);
    Table = std::move(loaded);
    Matched = std::move(bytes);
    Cleared = false;
}

void TRecordsStore::Add(const QString& name, const QString& time) {
    AppendEntry(Table, name, time);
    Unsaved.emplace_back(name, time);
}

void TRecordsStore::AddEntry(const QString& name, const QString& time) {
    Add(name, time);
    Save();
}

void TRecordsStore::Save(TLockedRecordsFile& file) {
    if (!Cleared) {
        if (std::optional<QByteArray> current = file.Read(); current && current != Matched) {
            TRecordsTable merged = RecordsFromBytes(*current, Table);
            AppendUnsaved(merged);
            Table = std::move(merged);
            Matched = std::move(current);
        }
    }
    const QByteArray bytes = RecordsToBytes(Table);
    file.Replace(bytes);
    Matched = bytes;
    Unsaved.clear();
    Cleared = false;
}

void TRecordsStore::Save() {
    TLockedRecordsFile file;
    Save(file);
}

void TRecordsStore::ClearTable() {
    Unsaved.clear();
    Table.SetRowCount(TRecordsTable::MinRowCount);
    Table.SetCell(0, 1, QString());
    Table.SetCell(1, 1, QString());
    Cleared = true;
}

void TRecordsStore::Clear() {
    ClearTable();
    Save();
}
