#pragma once

#include "records/RecordsFile.h"
#include "recordsformat/RecordsTable.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

// The program's records table and the records file it shares with every
// other game started in the same folder. A save never replaces a file whose
// entries the table does not hold: it takes them in first, and the entries
// this game added go after them, each in a blank slot after every entry the
// file holds.
class TRecordsStore {
public:
    explicit TRecordsStore(TRecordsTable& table) : Table(table) {}

    // Reads the file into the table; entries whose save failed stay, after
    // the file's. On failure the table is left as it was.
    void Load();

    // Puts a new entry in the blank slot (after a last row that is not
    // blank, in a new one) and adds the next slot; Save writes it.
    void Add(const QString& name, const QString& time);
    // Add, then Save. The entry stays in the table when the save fails.
    void AddEntry(const QString& name, const QString& time);

    // The one way to save: the table, with the file taken. A file that
    // changed since the table last matched it (or that it never matched) is
    // loaded first; if that fails, the save is refused and the file stays
    // as it is.
    void Save(TRecordsUpdate& file);
    // Takes the file (see TRecordsUpdate for the wait), then saves.
    void Save();

    // Empties the table and saves it so, whatever the file holds: the
    // player asked for every record to go. A clear whose save fails
    // changes nothing, so the next save keeps what other games wrote.
    void Clear(TRecordsUpdate& file);
    void Clear();

private:
    using TEntry = std::pair<QString, QString>;
    void AppendUnsaved(TRecordsTable& table) const;
    // Writes the table as it stands; undo runs when that fails and the file
    // stays as it was.
    void Write(TRecordsUpdate& file, const std::function<void()>& undo);

    TRecordsTable& Table;
    // The file's bytes when the table last held exactly them plus Unsaved.
    std::optional<QByteArray> Matched;
    // Entries added here that no save has put in the file yet.
    std::vector<TEntry> Unsaved;
};
