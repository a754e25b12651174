#include "files/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

void TFd::Reset() noexcept {
    if (Fd >= 0)
        ::close(std::exchange(Fd, -1));
}

TFd& TFd::operator=(TFd&& other) noexcept {
    if (this != &other) {
        Reset();
        Fd = std::exchange(other.Fd, -1);
    }
    return *this;
}

void TFd::Close() {
    if (::close(std::exchange(Fd, -1)) != 0)
        ThrowErrno(errno, "close");
}

void ThrowErrno(int error, const char* what) {
    throw std::system_error(error, std::generic_category(), what);
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            ThrowErrno(errno, "write");
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
}

namespace {

// Only a regular file may be opened: opening a FIFO blocks until a writer
// comes, and a device may never end.
void CheckReadable(const struct stat& info, std::size_t maxSize) {
    if (S_ISDIR(info.st_mode))
        ThrowErrno(EISDIR, "read");
    if (!S_ISREG(info.st_mode))
        ThrowErrno(EACCES, "read");
    if (static_cast<std::size_t>(info.st_size) > maxSize)
        ThrowErrno(EFBIG, "read");
}

// Where path leads: its folder and, for a symbolic link, its final target's
// name there, which may not exist yet (realpath cannot say where a dangling
// link's target is to be made, so the links are followed here).
std::pair<std::string, std::string> FinalTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        const bool exists = ::lstat(path.c_str(), &info) == 0;
        if (!exists && errno != ENOENT)
            ThrowErrno(errno, "lstat");
        const std::size_t slash = path.rfind('/');
        if (!exists || !S_ISLNK(info.st_mode)) {
            if (slash == std::string::npos)
                return {".", path};
            return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            ThrowErrno(errno, "readlink");
        target.resize(static_cast<std::size_t>(length));
        if (target.empty() || target[0] == '/' || slash == std::string::npos)
            path = target;
        else
            path = path.substr(0, slash + 1) + target;
    }
    ThrowErrno(ELOOP, "readlink");
}

// Whether the player may write the file, by the same rights the kernel checks.
void CheckWritable(int folder, const std::string& name, const struct stat& info) {
    if (!S_ISREG(info.st_mode))
        ThrowErrno(S_ISDIR(info.st_mode) ? EISDIR : EACCES, "write");
    if (::geteuid() == 0) {
        // Root may write anything, and replacing by rename would not ask;
        // a file without write bits is meant to stay as it is.
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            ThrowErrno(EACCES, "write");
    } else if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) != 0) {
        ThrowErrno(errno, "write");
    }
}

// Temporary files are named "name.~" and eight random letters of these.
constexpr std::string_view TempLetters = "abcdefghijklmnopqrstuvwxyz012345";
constexpr std::size_t TempRandomLength = 8;

std::string TempName(const std::string& name) {
    unsigned char random[TempRandomLength]{};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
        ThrowErrno(errno, "getrandom");
    std::string temp = name + ".~";
    for (const unsigned char r : random)
        temp += TempLetters[r % TempLetters.size()];
    return temp;
}

// Whether candidate is a name TempName makes for name: nothing else beside
// the records is ever the game's to remove (a backup "Tarvin.tbr.~1~" is the
// player's).
bool IsTempName(const std::string& name, std::string_view candidate) {
    const std::string prefix = name + ".~";
    return candidate.size() == prefix.size() + TempRandomLength &&
           candidate.substr(0, prefix.size()) == prefix &&
           candidate.find_first_not_of(TempLetters, prefix.size()) == std::string_view::npos;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

// A temporary file made for one save. Its writer holds a lock on it while it
// lives, so a file under such a name that nobody holds was left by a program
// that died; the name is unique, so it is never another save's. Where the
// file system has no locks, nobody can tell a dead game's file from a live
// one: leftovers are then never removed (see RemoveLeftovers).
class TTempFile {
public:
    TTempFile(int folder, const std::string& name, mode_t mode) : Folder(folder) {
        for (int tries = 0; !File.Valid(); ++tries) {
            if (tries == 100)
                ThrowErrno(EEXIST, "create");
            Name = TempName(name);
            File = TFd(::openat(Folder, Name.c_str(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!File.Valid()) {
                if (errno != EEXIST)
                    ThrowErrno(errno, "create");
                continue;
            }
            // A save clearing leftovers may have taken the file for one
            // between its creation and this lock: then it is made again
            // under a new name.
            if (::flock(File.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
                File = TFd();
                continue;
            }
            struct stat held {
            }, named{};
            if (::fstat(File.Get(), &held) != 0 ||
                ::fstatat(Folder, Name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
                !SameFile(held, named))
                File = TFd();
        }
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    ~TTempFile() {
        if (!Placed)
            ::unlinkat(Folder, Name.c_str(), 0);
    }

    int Get() const { return File.Get(); }

    void RenameOver(const std::string& target) {
        // Renamed while still open (and locked where locks exist), then closed: it was synced,
        // so a late close error no longer says anything about the data.
        if (::renameat(Folder, Name.c_str(), Folder, target.c_str()) != 0)
            ThrowErrno(errno, "rename");
        Placed = true;
    }

private:
    int Folder;
    std::string Name;
    TFd File;
    bool Placed = false;
};

} // namespace

void ReadRegularFile(int folder, const char* name, std::size_t maxSize, const TReadBuffer& buffer) {
    struct stat info {};
    if (::fstatat(folder, name, &info, 0) != 0)
        ThrowErrno(errno, "stat");
    CheckReadable(info, maxSize);
    TFd file(::openat(folder, name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid())
        ThrowErrno(errno, "open");
    if (::fstat(file.Get(), &info) != 0) // it may have been swapped since
        ThrowErrno(errno, "fstat");
    CheckReadable(info, maxSize);

    // One byte more than the size lets one read see the end; a file that
    // grows meanwhile is still read only up to the bound.
    const std::size_t limit = maxSize + 1;
    std::size_t size = std::min(static_cast<std::size_t>(info.st_size) + 1, limit);
    char* bytes = buffer(size);
    std::size_t used = 0;
    for (;;) {
        if (used == size) {
            if (used >= limit)
                ThrowErrno(EFBIG, "read");
            size = std::min(used + 64 * 1024, limit);
            bytes = buffer(size);
        }
        const ssize_t got = ::read(file.Get(), bytes + used, size - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ThrowErrno(errno, "read");
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    buffer(used);
    file.Close();
}

std::optional<TFileUpdate> TFileUpdate::TryBegin(const std::string& path) {
    auto [folder, name] = FinalTarget(path);
    TFileUpdate file;
    file.Name = std::move(name);
    file.Folder = TFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    file.Listable = file.Folder.Valid();
    if (!file.Listable && errno == EACCES) // a folder the player may enter but not list
        file.Folder = TFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!file.Folder.Valid())
        ThrowErrno(errno, "open");
    // An advisory lock on the folder, not on the file, which each save
    // replaces. Where the file system has none, saves go on without.
    if (file.Listable) {
        int locked;
        while ((locked = ::flock(file.Folder.Get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
        }
        if (locked != 0 && errno == EWOULDBLOCK)
            return std::nullopt;
        file.HasLock = locked == 0;
    }
    return file;
}

bool TFileUpdate::Read(std::size_t maxSize, const TReadBuffer& buffer) const {
    struct stat info {};
    if (::fstatat(Folder.Get(), Name.c_str(), &info, 0) != 0 && errno == ENOENT)
        return false;
    ReadRegularFile(Folder.Get(), Name.c_str(), maxSize, buffer);
    return true;
}

void TFileUpdate::RemoveLeftovers() const {
    TFd listing(::openat(Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(
        listing.Valid() ? ::fdopendir(listing.Get()) : nullptr, &::closedir);
    if (!dir)
        return;
    listing.Release(); // closedir closes it
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsTempName(Name, entry->d_name))
            continue;
        TFd temp(::openat(Folder.Get(), entry->d_name,
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat held {
        }, named{};
        // Removed only when nobody holds it and the name is still that file.
        if (temp.Valid() && ::fstat(temp.Get(), &held) == 0 && S_ISREG(held.st_mode) &&
            ::flock(temp.Get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(Folder.Get(), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(held, named))
            ::unlinkat(Folder.Get(), entry->d_name, 0);
    }
}

void TFileUpdate::Replace(std::string_view bytes) {
    Placed = false;
    std::optional<mode_t> keptMode;
    struct stat info {};
    if (::fstatat(Folder.Get(), Name.c_str(), &info, 0) == 0) {
        CheckWritable(Folder.Get(), Name, info);
        keptMode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
        ThrowErrno(errno, "stat");
    }
    if (HasLock)
        RemoveLeftovers();

    std::optional<TTempFile> temp;
    try {
        // A new file gets the umask's say.
        temp.emplace(Folder.Get(), Name, keptMode.value_or(0666));
    } catch (const std::system_error& e) {
        const int error = e.code().value();
        if (!keptMode || (error != EACCES && error != EPERM))
            throw;
        ReplaceInPlace(bytes); // a folder the player may not write
        return;
    }
    // The umask also narrowed the copy of an existing file; restore its mode.
    // Best effort: some file systems have no modes to set.
    if (keptMode)
        ::fchmod(temp->Get(), *keptMode);
    WriteAll(temp->Get(), bytes);
    if (::fdatasync(temp->Get()) != 0)
        ThrowErrno(errno, "fdatasync");
    try {
        temp->RenameOver(Name);
    } catch (const std::system_error& e) {
        // A sticky folder (a family's shared 1777 one) lets only the file's
        // owner replace it; the player may still write it.
        const int error = e.code().value();
        if (!keptMode || (error != EPERM && error != EACCES))
            throw;
        temp.reset(); // the player's own: removed
        ReplaceInPlace(bytes);
        return;
    }
    Placed = true;
    SyncRename(temp->Get());
}

void TFileUpdate::SyncRename(int placedFile) const {
    // Until the folder is on disk, a power cut may bring the old file back
    // after a save was reported done: a sync that fails is a save that failed.
    if (Listable) {
        if (::fsync(Folder.Get()) == 0)
            return;
        // Some file systems (FUSE and network ones among them) cannot sync
        // a folder and say EINVAL; syncing the whole file system below
        // covers the folder there too.
        if (errno != EINVAL)
            ThrowErrno(errno, "fsync");
    }
    // A folder opened for its path alone cannot be synced itself.
    if (::syncfs(placedFile) != 0)
        ThrowErrno(errno, "syncfs");
}

void TFileUpdate::ReplaceInPlace(std::string_view bytes) {
    TFd file(::openat(Folder.Get(), Name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid())
        ThrowErrno(errno, "open");
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        ThrowErrno(errno, "fstat");
    if (!S_ISREG(info.st_mode)) // swapped since it was checked
        ThrowErrno(EACCES, "write");
    // Room for the whole new content is taken before the first byte changes,
    // so a full disk leaves the old file as it was. Not every file system
    // can reserve room; there the write itself finds out.
    const int reserved = ::fallocate(file.Get(), FALLOC_FL_KEEP_SIZE, 0,
                                     static_cast<off_t>(std::max<std::size_t>(bytes.size(), 1)));
    if (reserved != 0 && (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
        ThrowErrno(errno, "fallocate");
    WriteAll(file.Get(), bytes);
    if (::ftruncate(file.Get(), static_cast<off_t>(bytes.size())) != 0)
        ThrowErrno(errno, "ftruncate");
    Placed = true;
    if (::fsync(file.Get()) != 0)
        ThrowErrno(errno, "fsync");
    file.Close();
}

bool PlaceWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    int error = errno;
    // EINVAL: a file system without no-replace renames; ENOSYS, EPERM: a
    // kernel or a sandbox without renameat2. A hard link never replaces.
    if (error == EINVAL || error == ENOSYS || error == EPERM) {
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return true;
        }
        error = errno;
    }
    if (error == EEXIST)
        return false;
    ThrowErrno(error, "rename");
}
