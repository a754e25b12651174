// The installed command: prepares the player's folder, then becomes the game
// running in it. Plain system calls only, so a launch costs next to nothing;
// only a failure starts the toolkit, in a program of its own, to show why.

#include "launcher/PlayerFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

// Where this program lies; the game and its files are found from here, so an
// unpacked or staged tree runs as well as the installed one.
std::string OwnFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        throw ELaunchError(std::string("Не удаётся найти папку игры: ") +
                           ReasonText(length < 0 ? errno : ENAMETOOLONG));
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/'));
}

} // namespace

int main() {
    std::string here;
    try {
        here = OwnFolder();
        const std::string folder =
            PlayerFolderPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
        PreparePlayerFolder(folder, here + "/" TARVIN_CUES_FROM_LAUNCHER);
        if (::chdir(folder.c_str()) != 0)
            throw ELaunchError("Не удаётся перейти в папку " + folder + ": " + ReasonText(errno));
        const std::string game = here + "/" TARVIN_GAME_FROM_LAUNCHER;
        ::execl(game.c_str(), "tarvin", static_cast<char*>(nullptr));
        throw ELaunchError("Не удаётся запустить " + game + ": " + ReasonText(errno));
    } catch (const std::exception& e) {
        // The box tells the standard error too; only without it is it said here.
        if (!here.empty()) {
            const std::string box = here + "/" TARVIN_ERROR_BOX_FROM_LAUNCHER;
            ::execl(box.c_str(), "tarvin-error-box", e.what(), static_cast<char*>(nullptr));
        }
        std::fprintf(stderr, "tarvin: %s\n", e.what());
        return 1;
    }
}
