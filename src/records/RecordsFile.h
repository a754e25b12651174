#pragma once

#include <QChar>

#include <stdexcept>
#include <string>

class TRecordsTable;

// The records file lives in the working directory.
inline constexpr char RecordsFileName[] = "Tarvin.tbr";

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

// Writes entry rows 1..RowCount-1. The old file is replaced only once the new
// one is complete on disk; on failure it stays as it was and no temporary
// file is left. Refuses a cell the file cannot carry (see CanStoreInRecords)
// before touching the disk.
void SaveRecords(const TRecordsTable& table);

// Whether the records file can hold this character in a name: anything the
// code page windows-1251 has, except CR and the end mark 0x1A.
bool CanStoreInRecords(QChar c) noexcept;
