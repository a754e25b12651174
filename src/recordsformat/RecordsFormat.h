#pragma once

// The records file's format, without the disk: the bytes of "Tarvin.tbr"
// to a records table and back. Qt Core only.

#include "recordsformat/RecordsTable.h"

#include <QByteArray>
#include <QChar>

#include <stdexcept>
#include <string>

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

// The reader: plain 8-bit text in the code page windows-1251; a CR ends a
// line and swallows one LF after it, a lone LF is an ordinary character, a
// byte 0x1A ends the file; each pair of lines is one entry, each line's
// first character (the separator space) dropped. The header cells of the
// result come from headerFrom. Refuses a file of more than
// MaxRecordsEntries entries.
TRecordsTable RecordsFromBytes(QByteArray bytes, const TRecordsTable& headerFrom);

// The writer: for each entry row one space, the name, CR LF, one space, the
// time, CR LF. Refuses a table holding a character the file cannot carry.
QByteArray RecordsToBytes(const TRecordsTable& table);

// Whether the records file can hold this character in a name: anything the
// code page windows-1251 has, except CR and the end mark 0x1A.
bool CanStoreInRecords(QChar c) noexcept;
