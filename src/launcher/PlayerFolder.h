#pragma once

#include <stdexcept>
#include <string>

// A step of the launch that failed; the text names the step, the path and
// the system's reason, ready for the player to read, all in Russian, as the
// game speaks.
class ELaunchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The system's reason for a failed call, in Russian (strerror would give it
// in the system's language, mostly English, in the middle of a Russian text).
std::string ReasonText(int error);

// The player's own folder for the game: $XDG_DATA_HOME/tarvin, or
// $HOME/.local/share/tarvin when XDG_DATA_HOME is unset, empty or not an
// absolute path. Without HOME the password database names the home folder.
std::string PlayerFolderPath(const char* xdgDataHome, const char* home);

// Creates the folder and its missing parents (private to the player, as
// the data folder should be) and copies into it every cue file from
// cueFolder that is missing there. A cue already in the folder stays as the
// player left it. A copy that fails leaves no partial file behind.
// Throws ELaunchError.
void PreparePlayerFolder(const std::string& folder, const std::string& cueFolder);
