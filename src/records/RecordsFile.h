#pragma once

#include <QByteArray>
#include <QChar>

#include <optional>
#include <stdexcept>
#include <string>

class TRecordsTable;

// The records file lives in the working directory.
inline constexpr char RecordsFileName[] = "Tarvin.tbr";

// Far above any real table (about 700 000 entries); a larger file is refused
// unread, so a stray huge file or an endless device never floods memory.
inline constexpr qsizetype MaxRecordsFileSize = 16 * 1024 * 1024;
// The same for a file of nearly empty lines, which the byte bound alone
// would let fill memory with millions of rows.
inline constexpr qsizetype MaxRecordsEntries = 1000 * 1000;

// A records file operation that failed. what() is the text for the error
// box; SystemError() is the errno behind it, 0 when the data was at fault.
class ERecordsError : public std::runtime_error {
public:
    explicit ERecordsError(const std::string& text, int systemError = 0)
        : std::runtime_error(text), Errno(systemError) {}
    int SystemError() const noexcept { return Errno; }

private:
    int Errno;
};

// The error box text for a failed system call: "File not found", "File access
// denied", "Invalid filename", "Disk full" or "I/O error N".
std::string SystemErrorText(int error);

// True when an entry named exactly "Tarvin.tbr" (a directory too) exists.
bool RecordsFileExists();

// Reads the whole file into the table's entry rows; the header row is kept.
// On failure the table is left exactly as it was.
void LoadRecords(TRecordsTable& table);

// Writes entry rows 1..RowCount-1 as they stand (see TRecordsStore for the
// save that keeps other games' entries). A symbolic link is written through:
// its final target gets the new file. The old file is replaced only once the
// new one is complete on disk; on failure it stays as it was and no temporary
// file is left. Refuses a cell the file cannot carry (see CanStoreInRecords)
// before touching the disk, and a file that is not a regular one, or that the
// player may not write.
void SaveRecords(const TRecordsTable& table);

// The file's bytes. Only a regular file is read (after following links) and
// never one over MaxRecordsFileSize; anything else is refused at once,
// without waiting on it.
QByteArray ReadRecordsFile();

// The reader and the writer of the file format, without the disk. The header
// cells of the result come from headerFrom. The reader refuses a file of more
// than MaxRecordsEntries entries.
TRecordsTable RecordsFromBytes(QByteArray bytes, const TRecordsTable& headerFrom);
QByteArray RecordsToBytes(const TRecordsTable& table);

// The records file held for one load-and-save. Every game saving in the same
// folder takes this first, so two saves never interleave; a game that holds
// it for seconds makes the next one give up with an error instead of hanging.
class TLockedRecordsFile {
public:
    TLockedRecordsFile();
    ~TLockedRecordsFile();
    TLockedRecordsFile(const TLockedRecordsFile&) = delete;
    TLockedRecordsFile& operator=(const TLockedRecordsFile&) = delete;

    // The file's bytes as ReadRecordsFile reads them; nothing when there is no file.
    std::optional<QByteArray> Read() const;
    // Puts these bytes in the file's place, as SaveRecords describes.
    void Replace(const QByteArray& bytes);

private:
    std::string Name; // the final target's name inside Folder
    int Folder = -1;  // the final target's folder, locked while this lives
    bool CanSyncFolder = false;
};

// Whether the records file can hold this character in a name: anything the
// code page windows-1251 has, except CR and the end mark 0x1A.
bool CanStoreInRecords(QChar c) noexcept;
