#include "launcher/PlayerFolder.h"

#include "files/GameFiles.h"
#include "files/SafeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& what, int error) {
    throw ELaunchError(what + ": " + ReasonText(error));
}

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

// Reads all of source and writes it to the open file.
void CopyBytes(int from, int to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ThrowErrno(errno, "read");
        if (got == 0)
            return;
        WriteAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
}

// Copies under a hidden temporary name and puts it in place, so the cue name
// only ever holds a whole file, and never over a file the player put there.
void CopyCue(const std::string& source, const std::string& target, const std::string& folder) {
    const std::string what = "Не удаётся скопировать " + source + " в " + target;
    std::string temp; // the temporary file, once made
    try {
        TFd from(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
        if (!from.Valid())
            ThrowErrno(errno, "open");
        std::string name = folder + "/.cue-XXXXXX";
        TFd to(::mkostemp(name.data(), O_CLOEXEC));
        if (!to.Valid())
            ThrowErrno(errno, "mkostemp");
        temp = std::move(name);
        CopyBytes(from.Get(), to.Get());
        if (::fdatasync(to.Get()) != 0)
            ThrowErrno(errno, "fdatasync");
        to.Close();
        if (!PlaceWithoutReplacing(temp, target)) // the player's own cue arrived meanwhile
            ::unlink(temp.c_str());
    } catch (const std::system_error& e) {
        if (!temp.empty())
            ::unlink(temp.c_str());
        Fail(what, e.code().value());
    }
}

} // namespace

std::string ReasonText(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "доступ запрещён";
    case ENOENT:
        return "нет такого файла или папки";
    case ENOTDIR:
        return "это не папка";
    case EISDIR:
        return "это папка";
    case EEXIST:
        return "такой файл уже есть";
    case ENOSPC:
    case EDQUOT:
        return "на диске нет места";
    case EFBIG:
        return "файл слишком велик";
    case EROFS:
        return "диск только для чтения";
    case ELOOP:
        return "слишком много символьных ссылок";
    case ENAMETOOLONG:
        return "слишком длинное имя";
    case EIO:
        return "ошибка ввода-вывода";
    case ENOMEM:
        return "не хватает памяти";
    case EMFILE:
    case ENFILE:
        return "открыто слишком много файлов";
    default:
        return "системная ошибка " + std::to_string(error);
    }
}

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
