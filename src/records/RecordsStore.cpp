#include "records/RecordsStore.h"

#include "records/RecordsFile.h"

void TRecordsStore::AppendUnsaved(TRecordsTable& table) const {
    for (const auto& [name, time] : Unsaved) {
        const int slot = table.RowCount() - 1;
        table.SetCell(0, slot, name);
        table.SetCell(1, slot, time);
        table.SetRowCount(slot + 2);
    }
}

void TRecordsStore::Load() {
    QByteArray bytes = ReadRecordsFile();
    TRecordsTable loaded = RecordsFromBytes(bytes, Table);
    AppendUnsaved(loaded);
    Table = std::move(loaded);
    Matched = std::move(bytes);
}

void TRecordsStore::AddEntry(const QString& name, const QString& time) {
    const int slot = Table.RowCount() - 1;
    Table.SetCell(0, slot, name);
    Table.SetCell(1, slot, time);
    Table.SetRowCount(slot + 2);
    Unsaved.emplace_back(name, time);
    Save();
}

void TRecordsStore::Save() {
    TLockedRecordsFile file;
    if (std::optional<QByteArray> current = file.Read(); current && current != Matched) {
        TRecordsTable merged = RecordsFromBytes(*current, Table);
        AppendUnsaved(merged);
        Table = std::move(merged);
        Matched = std::move(current);
    }
    const QByteArray bytes = RecordsToBytes(Table);
    file.Replace(bytes);
    Matched = bytes;
    Unsaved.clear();
}

void TRecordsStore::Clear() {
    Unsaved.clear();
    Table.SetRowCount(TRecordsTable::MinRowCount);
    Table.SetCell(0, 1, QString());
    Table.SetCell(1, 1, QString());
    const QByteArray bytes = RecordsToBytes(Table);
    TLockedRecordsFile file;
    file.Replace(bytes);
    Matched = bytes;
}
