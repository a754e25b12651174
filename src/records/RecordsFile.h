#pragma once

// The records file on disk: "Tarvin.tbr" in the working directory, read and
// replaced through the safe file access of files/SafeFile.h, its bytes
// those of recordsformat/RecordsFormat.h.

#include "files/GameFiles.h"
#include "files/SafeFile.h"
#include "recordsformat/RecordsFormat.h"

#include <QByteArray>

#include <optional>
#include <string>

// The error box text for a failed system call: "File not found", "File access
// denied", "Invalid filename", "Disk full" or "I/O error N".
std::string SystemErrorText(int error);

// True when an entry named exactly "Tarvin.tbr" (a directory too) exists.
bool RecordsFileExists();

// The file's bytes. Only a regular file is read (after following links) and
// never one over MaxRecordsFileSize; anything else is refused at once,
// without waiting on it.
QByteArray ReadRecordsFile();

// Whether a save of this program has the records file taken now: another
// save would wait for it.
bool RecordsFileTaken();

// For a program ending inside its event loop (exit() called where the
// display went away): from here on waits sleep instead of running the loop,
// and a write under way beside it is finished first.
void StopWaitingInEventLoop();

// The records file taken for one read, compare and write (see TFileUpdate:
// every game saving in the same folder takes the folder's lock first, where
// there is one to take). While another game holds it this waits, up to 3 s,
// then gives up with an error; on the program's main thread the wait runs
// the event loop (without user input), so the window keeps drawing and the
// game clock keeps time. So does the write, with its syncs, in a handler of
// that loop: it runs on a thread of its own meanwhile.
class TRecordsUpdate {
public:
    TRecordsUpdate();
    ~TRecordsUpdate();
    TRecordsUpdate(const TRecordsUpdate&) = delete;
    TRecordsUpdate& operator=(const TRecordsUpdate&) = delete;

    // The file's bytes as ReadRecordsFile reads them; nothing when there is no file.
    std::optional<QByteArray> Read() const;
    // Puts these bytes in the file's place; see TFileUpdate::Replace. A
    // symbolic link is written through: its final target gets the new file.
    void Replace(const QByteArray& bytes);
    // Whether the last Replace put the new bytes in the file's place, also
    // when it then failed (its sync did): no need to read them back.
    bool NewBytesInPlace() const { return File->NewBytesInPlace(); }

private:
    std::optional<TFileUpdate> File;
};
