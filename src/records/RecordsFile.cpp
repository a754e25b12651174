#include "records/RecordsFile.h"

#include "records/RecordsTable.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

[[noreturn]] void ThrowTooLarge() {
    throw ERecordsError("Records file is larger than " +
                            std::to_string(MaxRecordsFileSize / (1024 * 1024)) + " MiB",
                        EFBIG);
}

// Only a regular file may be opened: opening a FIFO blocks until a writer
// comes, and a device may never end.
void CheckReadable(const struct stat& info) {
    if (S_ISDIR(info.st_mode))
        ThrowSystemError(EISDIR);
    if (!S_ISREG(info.st_mode))
        ThrowSystemError(EACCES);
    if (info.st_size > MaxRecordsFileSize)
        ThrowTooLarge();
}

QByteArray ReadRegularFile(int folder, const char* name) {
    struct stat info {};
    if (::fstatat(folder, name, &info, 0) != 0)
        ThrowSystemError(errno);
    CheckReadable(info);
    TDescriptor file(::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Get() < 0)
        ThrowSystemError(errno);
    if (::fstat(file.Get(), &info) != 0) // it may have been swapped since
        ThrowSystemError(errno);
    CheckReadable(info);

    // One byte more than the size lets one read see the end; a file that
    // grows meanwhile is still read only up to the bound.
    constexpr qsizetype Limit = MaxRecordsFileSize + 1;
    QByteArray bytes(std::min<qsizetype>(static_cast<qsizetype>(info.st_size) + 1, Limit),
                     Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used >= Limit)
                ThrowTooLarge();
            bytes.resize(std::min<qsizetype>(used + 64 * 1024, Limit));
        }
        const ssize_t got =
            ::read(file.Get(), bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError(errno);
        }
        if (got == 0)
            break;
        used += got;
    }
    bytes.truncate(used);
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

// A new file in the target's folder, named only once it is complete: a game
// killed while writing it leaves nothing behind. Where the file system cannot
// make unnamed files it is created under its final temporary name instead.
// Either way it is removed again unless it was renamed into place.
class TPendingFile {
public:
    TPendingFile(int folder, std::string tempName, mode_t mode)
        : Folder(folder), TempName(std::move(tempName)) {
        // Naming an unnamed file takes its /proc link.
        const int fd = ::access("/proc/self/fd", F_OK) == 0
                           ? ::openat(Folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode)
                           : -1;
        if (fd >= 0) {
            File = std::make_unique<TDescriptor>(fd);
            return;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            ThrowSystemError(errno);
        CreateNamed(mode);
    }
    TPendingFile(const TPendingFile&) = delete;
    TPendingFile& operator=(const TPendingFile&) = delete;
    ~TPendingFile() {
        File.reset();
        if (Named && !Placed)
            ::unlinkat(Folder, TempName.c_str(), 0);
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

    void Sync() {
        if (::fsync(File->Get()) != 0)
            ThrowSystemError(errno);
    }

    void RenameOver(const std::string& target) {
        if (!Named) {
            const std::string self = "/proc/self/fd/" + std::to_string(File->Get());
            const auto link = [&] {
                return ::linkat(AT_FDCWD, self.c_str(), Folder, TempName.c_str(),
                                AT_SYMLINK_FOLLOW);
            };
            int linked = link();
            // The name is only ever in use while the records are locked, so
            // one found now was left by a game that died right here.
            if (linked != 0 && errno == EEXIST && ::unlinkat(Folder, TempName.c_str(), 0) == 0)
                linked = link();
            if (linked != 0)
                ThrowSystemError(errno);
            Named = true;
        }
        File->Close();
        if (::renameat(Folder, TempName.c_str(), Folder, target.c_str()) != 0)
            ThrowSystemError(errno);
        Placed = true;
    }

private:
    void CreateNamed(mode_t mode) {
        const auto create = [&] {
            return ::openat(Folder, TempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            mode);
        };
        int fd = create();
        if (fd < 0 && errno == EEXIST && ::unlinkat(Folder, TempName.c_str(), 0) == 0)
            fd = create(); // a leftover, as above
        if (fd < 0)
            ThrowSystemError(errno);
        File = std::make_unique<TDescriptor>(fd);
        Named = true;
    }

    int Folder;
    std::string TempName;
    std::unique_ptr<TDescriptor> File;
    bool Named = false;
    bool Placed = false;
};

// Where a save must go: the records file's name, or, for a symbolic link, its
// final target (which may not exist yet). Returns folder and name.
std::pair<std::string, std::string> SaveTarget() {
    std::string path = RecordsFileName;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        const bool exists = ::lstat(path.c_str(), &info) == 0;
        if (!exists && errno != ENOENT)
            ThrowSystemError(errno);
        if (!exists || !S_ISLNK(info.st_mode)) {
            const std::size_t slash = path.rfind('/');
            if (slash == std::string::npos)
                return {".", path};
            return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            ThrowSystemError(errno);
        target.resize(static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        if (target.empty() || target[0] == '/' || slash == std::string::npos)
            path = target;
        else
            path = path.substr(0, slash + 1) + target;
    }
    ThrowSystemError(ELOOP);
}

// Whether the player may write the file, by the same rights the kernel checks.
void CheckWritable(int folder, const std::string& name, const struct stat& info) {
    if (!S_ISREG(info.st_mode))
        ThrowSystemError(S_ISDIR(info.st_mode) ? EISDIR : EACCES);
    if (::geteuid() == 0) {
        // Root may write anything, and replacing by rename would not ask;
        // a file without write bits is meant to stay as it is.
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            ThrowSystemError(EACCES);
    } else if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) != 0) {
        ThrowSystemError(errno);
    }
}

} // namespace

TRecordsTable RecordsFromBytes(QByteArray bytes, const TRecordsTable& headerFrom) {
    const qsizetype endMark = bytes.indexOf(EndMark);
    if (endMark >= 0)
        bytes.truncate(endMark);
    // Each pair takes two CRs but the last.
    const qsizetype pairs = bytes.count('\r') / 2 + 1;
    if (pairs > MaxRecordsEntries)
        throw ERecordsError("Records file holds more than " + std::to_string(MaxRecordsEntries) +
                            " entries");
    // windows-1251 gives exactly one character per byte, so splitting the
    // decoded text is the same as splitting the bytes.
    QStringDecoder decoder = MakeDecoder();
    const QString text = decoder.decode(bytes);

    std::vector<std::pair<QString, QString>> entries;
    entries.reserve(static_cast<std::size_t>(pairs));
    TLineReader lines(text);
    do {
        QString name = lines.NextField();
        entries.emplace_back(std::move(name), lines.NextField());
    } while (!lines.AtEnd());

    TRecordsTable parsed;
    parsed.SetCell(0, 0, headerFrom.Cell(0, 0));
    parsed.SetCell(1, 0, headerFrom.Cell(1, 0));
    parsed.SetRowCount(static_cast<int>(entries.size()) + 1);
    int row = 1;
    for (const auto& [name, time] : entries) {
        parsed.SetCell(0, row, name);
        parsed.SetCell(1, row++, time);
    }
    return parsed;
}

QByteArray RecordsToBytes(const TRecordsTable& table) {
    QStringEncoder encoder = MakeEncoder();
    QByteArray bytes;
    bytes.reserve(table.RowCount() * 24);
    const auto put = [&](const QString& cell, int row) {
        // Checked character by character: a stateful encoder would keep a
        // lone surrogate at a cell's end for the next cell, and drop it
        // silently when only empty cells follow.
        const bool storable = std::all_of(cell.begin(), cell.end(), CanStoreInRecords);
        const QByteArray encoded = encoder.encode(cell);
        if (!storable || encoder.hasError() || encoded.size() != cell.size())
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
    // A case-blind file system would also find "tarvin.tbr". If the name
    // with every letter's case swapped is not the same file, this one tells
    // cases apart and needs no look through a folder of any size.
    std::string swapped = RecordsFileName;
    for (char& c : swapped)
        c = std::isupper(static_cast<unsigned char>(c))
                ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    struct stat other {};
    if (::lstat(swapped.c_str(), &other) != 0 || other.st_ino != info.st_ino ||
        other.st_dev != info.st_dev)
        return true;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("."), &::closedir);
    if (!dir)
        return true;
    while (const dirent* entry = ::readdir(dir.get()))
        if (std::strcmp(entry->d_name, RecordsFileName) == 0)
            return true;
    return false;
}

QByteArray ReadRecordsFile() {
    return ReadRegularFile(AT_FDCWD, RecordsFileName);
}

void LoadRecords(TRecordsTable& table) {
    TRecordsTable parsed = RecordsFromBytes(ReadRecordsFile(), table);
    table = std::move(parsed);
}

void SaveRecords(const TRecordsTable& table) {
    const QByteArray bytes = RecordsToBytes(table);
    TLockedRecordsFile file;
    file.Replace(bytes);
}

TLockedRecordsFile::TLockedRecordsFile() {
    auto [folder, name] = SaveTarget();
    Name = std::move(name);
    Folder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    CanSyncFolder = Folder >= 0;
    if (Folder < 0 && errno == EACCES) // a folder the player may enter but not list
        Folder = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (Folder < 0)
        ThrowSystemError(errno);
    // An advisory lock on the folder, not on the file, which each save
    // replaces. Where the file system has no locks, saves go on without.
    using TClock = std::chrono::steady_clock;
    const TClock::time_point giveUp = TClock::now() + std::chrono::seconds(3);
    while (CanSyncFolder && ::flock(Folder, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (TClock::now() >= giveUp) {
            ::close(Folder);
            throw ERecordsError("Records file is in use by another game");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

TLockedRecordsFile::~TLockedRecordsFile() {
    ::close(Folder); // releases the lock
}

std::optional<QByteArray> TLockedRecordsFile::Read() const {
    struct stat info {};
    if (::fstatat(Folder, Name.c_str(), &info, 0) != 0 && errno == ENOENT)
        return std::nullopt;
    return ReadRegularFile(Folder, Name.c_str());
}

void TLockedRecordsFile::Replace(const QByteArray& bytes) {
    std::optional<mode_t> keptMode;
    struct stat info {};
    if (::fstatat(Folder, Name.c_str(), &info, 0) == 0) {
        CheckWritable(Folder, Name, info);
        keptMode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
        ThrowSystemError(errno);
    }

    // A new file gets the umask's say.
    TPendingFile pending(Folder, Name + ".~new", keptMode.value_or(0666));
    // The umask also narrowed the copy of an existing file; restore its mode.
    // Best effort: some file systems have no modes to set.
    if (keptMode)
        ::fchmod(pending.Descriptor(), *keptMode);
    pending.Write(bytes);
    pending.Sync();
    pending.RenameOver(Name);
    // Makes the rename itself survive a crash; the new file is already
    // complete, so a failure here is not worth reporting.
    if (CanSyncFolder)
        ::fsync(Folder);
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
