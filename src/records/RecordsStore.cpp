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
}

void TRecordsStore::Add(const QString& name, const QString& time) {
    AppendEntry(Table, name, time);
    Unsaved.emplace_back(name, time);
}

void TRecordsStore::AddEntry(const QString& name, const QString& time) {
    Add(name, time);
    Save();
}

void TRecordsStore::Save(TRecordsUpdate& file) {
    if (std::optional<QByteArray> current = file.Read(); current && current != Matched) {
        TRecordsTable merged = RecordsFromBytes(*current, Table);
        AppendUnsaved(merged);
        Table = std::move(merged);
        Matched = std::move(current);
    }
    Write(file, {});
}

void TRecordsStore::Save() {
    TRecordsUpdate file;
    Save(file);
}

void TRecordsStore::Clear(TRecordsUpdate& file) {
    TRecordsTable before = Table;
    std::vector<TEntry> unsaved = Unsaved;
    Table.SetRowCount(TRecordsTable::MinRowCount);
    Table.SetCell(0, 1, QString());
    Table.SetCell(1, 1, QString());
    Write(file, [&] {
        Table = std::move(before);
        Unsaved = std::move(unsaved);
    });
}

void TRecordsStore::Clear() {
    TRecordsUpdate file;
    Clear(file);
}

void TRecordsStore::Write(TRecordsUpdate& file, const std::function<void()>& undo) {
    const QByteArray bytes = RecordsToBytes(Table);
    try {
        file.Replace(bytes);
    } catch (...) {
        // A sync that failed once the new file was in place leaves the file
        // holding the table, only perhaps not on disk yet: the table matches
        // it then, and a later save writes it again.
        if (!file.NewBytesInPlace()) {
            if (undo)
                undo();
            throw;
        }
        Matched = bytes;
        Unsaved.clear();
        throw;
    }
    Matched = bytes;
    Unsaved.clear();
}
