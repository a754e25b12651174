#include "records/RecordsFile.h"

#include "records/RecordsTable.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <bitset>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char CodePage[] = "windows-1251";
constexpr char EndMark = '\x1A';

[[noreturn]] void ThrowSystemError(int error) {
    throw ERecordsError(SystemErrorText(error), error);
}

QStringDecoder MakeDecoder() {
    QStringDecoder decoder(CodePage);
    if (!decoder.isValid())
        throw ERecordsError("Code page windows-1251 is not available");
    return decoder;
}

QStringEncoder MakeEncoder() {
    QStringEncoder encoder(CodePage);
    if (!encoder.isValid())
        throw ERecordsError("Code page windows-1251 is not available");
    return encoder;
}

// Owns a file descriptor; Close() reports the error the destructor must swallow.
class TDescriptor {
public:
    explicit TDescriptor(int fd) : Fd(fd) {}
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    ~TDescriptor() {
        if (Fd >= 0)
            ::close(Fd);
    }
    int Get() const { return Fd; }
    void Close() {
        // Linux frees the descriptor even when close fails, so never retry.
        if (::close(std::exchange(Fd, -1)) != 0)
            ThrowSystemError(errno);
    }

private:
    int Fd;
};

QByteArray ReadWholeFile(const char* name) {
    TDescriptor file(::open(name, O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0)
        ThrowSystemError(errno);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        ThrowSystemError(errno);
    QByteArray bytes;
    qsizetype chunk = 64 * 1024;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        chunk = static_cast<qsizetype>(info.st_size) + 1; // +1 lets one read see the end
    for (;;) {
        const qsizetype used = bytes.size();
        bytes.resize(used + chunk);
        const ssize_t got = ::read(file.Get(), bytes.data() + used, static_cast<size_t>(chunk));
        if (got < 0) {
            if (errno == EINTR) {
                bytes.resize(used);
                continue;
            }
            ThrowSystemError(errno);
        }
        bytes.resize(used + got);
        if (got == 0)
            break;
        chunk = 64 * 1024;
    }
    file.Close();
    return bytes;
}

// Splits text into lines the way the file has always been read: CR ends a
// line and swallows one LF after it; a lone LF is an ordinary character.
class TLineReader {
public:
    explicit TLineReader(const QString& text) : Text(text) {}
    bool AtEnd() const { return Pos >= Text.size(); }

    // The next line without its first character (the separator space).
    QString NextField() {
        const qsizetype start = Pos;
        const qsizetype cr = Text.indexOf(QLatin1Char('\r'), Pos);
        const qsizetype end = cr < 0 ? Text.size() : cr;
        Pos = end;
        if (Pos < Text.size()) {
            ++Pos;
            if (Pos < Text.size() && Text[Pos] == QLatin1Char('\n'))
                ++Pos;
        }
        return end - start > 1 ? Text.mid(start + 1, end - start - 1) : QString();
    }

private:
    const QString& Text;
    qsizetype Pos = 0;
};

TRecordsTable ParseRecords(QByteArray bytes, const TRecordsTable& previous) {
    const qsizetype endMark = bytes.indexOf(EndMark);
    if (endMark >= 0)
        bytes.truncate(endMark);
    // windows-1251 gives exactly one character per byte, so splitting the
    // decoded text is the same as splitting the bytes.
    QStringDecoder decoder = MakeDecoder();
    const QString text = decoder.decode(bytes);

    TRecordsTable parsed;
    parsed.SetCell(0, 0, previous.Cell(0, 0));
    parsed.SetCell(1, 0, previous.Cell(1, 0));
    TLineReader lines(text);
    for (int k = 0;; ++k) {
        const QString name = lines.NextField();
        const QString time = lines.NextField();
        parsed.SetRowCount(k + 2);
        parsed.SetCell(0, k + 1, name);
        parsed.SetCell(1, k + 1, time);
        if (lines.AtEnd())
            break;
    }
    return parsed;
}

QByteArray FormatRecords(const TRecordsTable& table) {
    QStringEncoder encoder = MakeEncoder();
    QByteArray bytes;
    bytes.reserve(table.RowCount() * 24);
    const auto put = [&](const QString& cell, int row) {
        const QByteArray encoded = encoder.encode(cell);
        // The encoder writes 0x1A for a character the code page lacks. A lone
        // LF reads back as itself, so only CR and the end mark break a line.
        if (encoder.hasError() || encoded.contains(EndMark) || encoded.contains('\r'))
            throw ERecordsError("Records row " + std::to_string(row) +
                                " holds a character the records file cannot store");
        bytes.append(' ');
        bytes.append(encoded);
        bytes.append("\r\n", 2);
    };
    for (int row = 1; row < table.RowCount(); ++row) {
        put(table.Cell(0, row), row);
        put(table.Cell(1, row), row);
    }
    return bytes;
}

// A new file beside the records file; removed again unless it was renamed
// into place.
class TPendingFile {
public:
    explicit TPendingFile(mode_t mode) {
        const std::string base = std::string(RecordsFileName) + ".~" + std::to_string(::getpid());
        for (int attempt = 0;; ++attempt) {
            Name = base + "-" + std::to_string(attempt);
            const int fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) {
                File = std::make_unique<TDescriptor>(fd);
                return;
            }
            if (errno != EEXIST || attempt == 99)
                ThrowSystemError(errno);
        }
    }
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;
    ~TPendingFile() {
        File.reset();
        if (!Placed)
            ::unlink(Name.c_str());
    }

    int Descriptor() const { return File->Get(); }

    void Write(const QByteArray& bytes) {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t done = ::write(File->Get(), data, static_cast<size_t>(left));
            if (done < 0) {
                if (errno == EINTR)
                    continue;
                ThrowSystemError(errno);
            }
            data += done;
            left -= done;
        }
    }

    void SyncAndClose() {
        if (::fsync(File->Get()) != 0)
            ThrowSystemError(errno);
        File->Close();
    }

    void RenameOver(const char* target) {
        if (::rename(Name.c_str(), target) != 0)
            ThrowSystemError(errno);
        Placed = true;
    }

private:
    std::string Name;
    std::unique_ptr<TDescriptor> File;
    bool Placed = false;
};

// Makes the rename itself survive a crash; the new file is already complete,
// so a failure here is not worth reporting.
void SyncWorkingDirectory() noexcept {
    const TDescriptor dir(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

} // namespace

std::string SystemErrorText(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "File not found";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // a directory in the file's place, as the old file API reported it
    case ETXTBSY:
        return "File access denied";
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return "Invalid filename";
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(error);
    }
}

bool RecordsFileExists() {
    struct stat info {};
    if (::lstat(RecordsFileName, &info) != 0)
        return false;
    // A case-blind file system would also find "tarvin.tbr"; look for the
    // exact spelling in the listing.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("."), &::closedir);
    if (!dir)
        return true;
    while (const dirent* entry = ::readdir(dir.get()))
        if (std::strcmp(entry->d_name, RecordsFileName) == 0)
            return true;
    return false;
}

void LoadRecords(TRecordsTable& table) {
    TRecordsTable parsed = ParseRecords(ReadWholeFile(RecordsFileName), table);
    table = std::move(parsed);
}

void SaveRecords(const TRecordsTable& table) {
    const QByteArray bytes = FormatRecords(table);

    std::optional<mode_t> keptMode;
    struct stat info {};
    if (::stat(RecordsFileName, &info) == 0) {
        if (S_ISREG(info.st_mode)) {
            // Replacing by rename would overwrite a read-only file without
            // asking (and always does for root), so honour its write bits.
            if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
                throw ERecordsError(SystemErrorText(EACCES), EACCES);
            keptMode = info.st_mode & 07777;
        }
    } else if (errno != ENOENT) {
        ThrowSystemError(errno);
    }

    TPendingFile pending(keptMode.value_or(0666)); // a new file gets the umask's say
    // The umask also narrowed the copy of an existing file; restore its mode.
    // Best effort: some file systems have no modes to set.
    if (keptMode)
        ::fchmod(pending.Descriptor(), *keptMode);
    pending.Write(bytes);
    pending.SyncAndClose();
    pending.RenameOver(RecordsFileName);
    SyncWorkingDirectory();
}

bool CanStoreInRecords(QChar c) noexcept {
    // The code page maps each byte to one character and back, so the
    // storable characters are exactly the images of the 256 bytes.
    static const std::bitset<0x10000> storable = [] {
        std::bitset<0x10000> set;
        QStringDecoder decoder(CodePage);
        QStringEncoder encoder(CodePage);
        if (!decoder.isValid() || !encoder.isValid())
            return set; // nothing can be saved then; SaveRecords says why
        for (int byte = 0; byte < 256; ++byte) {
            const char b = static_cast<char>(byte);
            const QString decoded = decoder.decode(QByteArrayView(&b, 1));
            const QByteArray back = encoder.encode(decoded);
            if (decoded.size() == 1 && back.size() == 1 && back[0] == b && b != '\r' &&
                b != EndMark)
                set.set(decoded[0].unicode());
        }
        return set;
    }();
    return storable.test(c.unicode());
}
