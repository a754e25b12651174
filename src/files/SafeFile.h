#pragma once

// Careful file access in plain POSIX, shared by the records file and the
// tarvin command: reading a file of bounded size that may be hostile,
// replacing a file so that it is always whole, a lock that programs sharing
// a folder take around that, and placing a new file without ever replacing
// one. Failures are thrown as std::system_error holding the errno.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <sys/types.h>

// The one owner of a file descriptor.
class TFd {
public:
    TFd() = default;
    explicit TFd(int fd) noexcept : Fd(fd) {}
    TFd(TFd&& other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
    TFd& operator=(TFd&& other) noexcept;
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() { Reset(); }

    int Get() const noexcept { return Fd; }
    bool Valid() const noexcept { return Fd >= 0; }
    // Gives the descriptor up to a new owner outside this class.
    int Release() noexcept { return std::exchange(Fd, -1); }
    // Closes now and throws what close reports (a late write error). Linux
    // frees the descriptor even then, so it is never retried.
    void Close();

private:
    void Reset() noexcept;
    int Fd = -1;
};

// Throws std::system_error for this errno.
[[noreturn]] void ThrowErrno(int error, const char* what);

// Writes all of bytes, going on after interruptions.
void WriteAll(int fd, std::string_view bytes);

// Storage the readers below fill, so the bytes land where the caller keeps
// them: called with a size, it makes room for exactly that many bytes and
// returns where they go. The last call gives the size read.
using TReadBuffer = std::function<char*(std::size_t size)>;

// Reads the regular file name in folder (links followed) when it holds at
// most maxSize bytes. A directory is refused with EISDIR, anything else that
// is not a regular file (a FIFO, a device) with EACCES, a bigger file with
// EFBIG, all without opening or waiting on it.
void ReadRegularFile(int folder, const char* name, std::size_t maxSize, const TReadBuffer& buffer);

// One read and replace of a file by a program that shares its folder with
// others doing the same. Where it can, it takes the lock of the file's
// folder, and while every program holds that lock for its read-compare-write
// no two of them interleave. Where the folder can only be entered (not
// listed) or the file system has no locks, it goes on without the lock:
// each replacement is still whole, but one may miss what another wrote
// meanwhile.
class TFileUpdate {
public:
    // For path's final target (symbolic links followed; it need not exist
    // yet). Returns nothing, at once, while another program holds the lock.
    static std::optional<TFileUpdate> TryBegin(const std::string& path);

    // Reads the file as ReadRegularFile does; false when there is none.
    bool Read(std::size_t maxSize, const TReadBuffer& buffer) const;

    // Puts these bytes in the file's place, the file's permissions kept (a
    // new file gets 0666 less the umask). Where the folder allows, a new
    // file under a name of its own is written, synced and renamed over the
    // old one, and the rename is synced too, so the file is always old or
    // new, whole, and a save reported done stays done. An existing file is
    // written in place and synced instead (see the README for what that
    // gives up) in two cases only: the player may not create a file in the
    // folder, or may create one but not rename it over the old file (a
    // sticky folder, such as a family's shared 1777 one, and another user's
    // file). Refuses with EACCES (EISDIR
    // for a directory) a file that is not a regular one or that the player
    // may not write, without touching it. Under the lock, temporary files
    // that programs which died while saving left behind are removed first.
    void Replace(std::string_view bytes);

    // Whether the folder's lock is held (see above for where it cannot be).
    bool HoldsLock() const { return HasLock; }
    // Whether the last Replace left the file holding the new bytes, also
    // when it then failed to sync them: they are in place, maybe not on disk.
    bool NewBytesInPlace() const { return Placed; }

private:
    TFileUpdate() = default;
    void RemoveLeftovers() const;
    void ReplaceInPlace(std::string_view bytes);
    void SyncRename(int placedFile) const;

    TFd Folder;       // the final target's folder
    std::string Name; // the final target's name in it
    bool Listable = false;
    bool HasLock = false;
    bool Placed = false;
};

// Gives the complete file at from the name to, in the same folder, unless
// something already has that name: then from is left as it is and false is
// returned. Where the kernel or the file system cannot rename without
// replacing, it links and unlinks instead, which never replaces either.
bool PlaceWithoutReplacing(const std::string& from, const std::string& to);
