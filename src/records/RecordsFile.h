#pragma once

// The records file on disk: "Tarvin.tbr" in the working directory, read and
// replaced through the safe file access of files/SafeFile.h, its bytes
// those of records/RecordsFormat.h.

#include "files/GameFiles.h"
#include "files/SafeFile.h"
#include "records/RecordsFormat.h"

#include <QByteArray>

#include <optional>
#include <string>

// The error box text for a failed system call: "File not found", "File access
// denied", "Invalid filename", "Disk full" or "I/O error N".
std::string SystemErrorText(int error);

// True when an entry named exactly "Tarvin.tbr" (a directory too) exists.
bool RecordsFileExists();

// Reads the whole file into the table's entry rows; the header row is kept.
// On failure the table is left exactly as it was.
void LoadRecords(TRecordsTable& table);

// Writes entry rows 1..RowCount-1 as they stand, under the lock (see
// TRecordsStore for the save that keeps other games' entries). Refuses a cell
// the file cannot carry before touching the disk.
void SaveRecords(const TRecordsTable& table);

// The file's bytes. Only a regular file is read (after following links) and
// never one over MaxRecordsFileSize; anything else is refused at once,
// without waiting on it.
QByteArray ReadRecordsFile();

// The records file held for one read, compare and write. Every game saving
// in the same folder takes it first, so two saves never interleave. While
// another game holds it this waits, up to 3 s, then gives up with an error;
// on the program's main thread the wait runs the event loop (without user
// input), so the window keeps drawing and the game clock keeps time.
class TLockedRecordsFile {
public:
    TLockedRecordsFile();

    // The file's bytes as ReadRecordsFile reads them; nothing when there is no file.
    std::optional<QByteArray> Read() const;
    // Puts these bytes in the file's place; see TLockedFile::Replace. A
    // symbolic link is written through: its final target gets the new file.
    void Replace(const QByteArray& bytes);

private:
    std::optional<TLockedFile> File;
};
