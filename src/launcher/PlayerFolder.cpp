#include "launcher/PlayerFolder.h"

#include "game/MoveEffects.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The launcher never sets a locale, so these are the system's English texts.
[[noreturn]] void Fail(const std::string& what, int error) {
    throw ELaunchError(what + ": " + std::strerror(error));
}

class TFd {
public:
    explicit TFd(int fd) : Fd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    int Get() const { return Fd; }
    // Returns 0 or the error of close, which may be the first word of a full disk.
    int Close() { return ::close(std::exchange(Fd, -1)) == 0 ? 0 : errno; }

private:
    int Fd;
};

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void MakeFolders(const std::string& folder) {
    if (IsDirectory(folder)) // every start but the first
        return;
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0) {
            const int error = errno;
            if (error != EEXIST || !IsDirectory(part))
                Fail("Не удаётся создать папку " + folder, error == EEXIST ? ENOTDIR : error);
        }
        if (slash == std::string::npos)
            return;
    }
}

// Anything under the name counts as the player's, even a dangling link.
bool Exists(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0)
        return true;
    if (errno != ENOENT)
        Fail("Не удаётся проверить " + path, errno);
    return false;
}

// Reads all of source and writes it to the open file; returns 0 or the error.
int CopyBytes(int from, int to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0 ? 0 : errno;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return errno;
            done += put;
        }
    }
}

// Copies under a hidden temporary name and renames into place, so the cue
// name only ever holds a whole file, and never over a file the player put there.
void CopyCue(const std::string& source, const std::string& target, const std::string& folder) {
    const std::string what = "Не удаётся скопировать " + source + " в " + target;
    TFd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.Get() < 0)
        Fail(what, errno);
    std::string temp = folder + "/.cue-XXXXXX";
    TFd to(::mkostemp(temp.data(), O_CLOEXEC));
    if (to.Get() < 0)
        Fail(what, errno);
    int error = CopyBytes(from.Get(), to.Get());
    if (error == 0 && ::fdatasync(to.Get()) != 0)
        error = errno;
    if (const int closed = to.Close(); error == 0)
        error = closed;
    if (error == 0 &&
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        error = errno;
        if (error == EINVAL) // a file system without no-replace renames
            error = ::rename(temp.c_str(), target.c_str()) == 0 ? 0 : errno;
        else if (error == EEXIST) // the player's own cue arrived meanwhile
            error = 0;
    }
    ::unlink(temp.c_str()); // already gone after a rename
    if (error != 0)
        Fail(what, error);
}

} // namespace

std::string PlayerFolderPath(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/tarvin";
    std::string homeFolder = home && *home ? home : "";
    if (homeFolder.empty()) {
        const passwd* entry = ::getpwuid(::getuid());
        if (!entry || !entry->pw_dir || !*entry->pw_dir)
            throw ELaunchError("Не удаётся найти домашнюю папку: переменная HOME не задана");
        homeFolder = entry->pw_dir;
    }
    return homeFolder + "/.local/share/tarvin";
}

void PreparePlayerFolder(const std::string& folder, const std::string& cueFolder) {
    MakeFolders(folder);
    for (const char* cue : CueFileNames) {
        const std::string target = folder + "/" + cue;
        if (!Exists(target))
            CopyCue(cueFolder + "/" + cue, target, folder);
    }
}
