#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

// Plays the game's short sound cues through one SDL audio device. The device
// is opened in whatever format the system prefers; every cue is converted to
// that format, so cue files may differ in rate, channels and sample format.
//
// Opening and closing a device stall the calling thread for a long time, so
// both happen on the player's own thread: the game asks for the device once
// its window is up, and a device that stopped (it was unplugged) is replaced
// there while the keys go on. A cue file is read and converted once and
// played from memory while the file stays the same; a file replaced on disk
// is read again at its next cue.
//
// An open device costs even while it plays nothing: SDL's thread wakes ninety
// to five hundred times a second to feed it silence, and the sound server
// keeps mixing (and the sound card powered). So the device is closed once it
// has been silent for a while; the next cue opens it again on the player's
// thread, which takes a few milliseconds, and plays as soon as it is open.
// While keys come the device stays open and cues start at once.
//
// SDL itself is loaded on the player's thread too, when the game first asks
// for sound (see SdlLibrary.h), so nothing of it is loaded before the first
// picture. Without SDL's library, as without a usable device, the game is
// silent: the failure is reported once, and both are only tried again when
// the game asks for the device (New game), so the keys stay as fast as with
// sound.
class TSoundPlayer {
public:
    // How long the device stays open after the last cue has ended: longer
    // than the pauses between the keys of a move, and as long as the sound
    // servers of the desktop keep an idle card powered, so the card is not
    // woken more often than they would wake it anyway.
    static constexpr std::chrono::milliseconds DefaultRestAfter{5000};

    explicit TSoundPlayer(std::chrono::milliseconds restAfter = DefaultRestAfter);
    ~TSoundPlayer();
    TSoundPlayer(const TSoundPlayer&) = delete;
    TSoundPlayer& operator=(const TSoundPlayer&) = delete;

    // Starts opening the audio device and reading the five cues on the
    // player's thread and returns at once. Does nothing while a device is
    // open or being opened, so asking again tries a device that failed, and
    // opens a device closed for silence ahead of the next cue.
    void OpenDevice();

    // Cues 1 to 5 pick their file; any other number replays the last file.
    // Cuts off the cue still playing and returns at once; a cue asked for
    // while the device is being opened (or was closed for silence) plays as
    // soon as it is open. Throws std::runtime_error with SDL's message when
    // the file cannot be loaded (on every cue once SDL's library is loaded)
    // and, once, when the audio device or SDL's library could not be opened.
    // A cue asked for while SDL is still being loaded or the device opened
    // is read on the player's thread; a file that cannot be read is then
    // reported at the next cue. Without SDL's library no file is read, so none is reported.
    void PlayCue(int cue);

    // The file of the last cue, relative to the working directory.
    const std::string& FileName() const { return File; }

    // Ends the program with the status at once, without running the static
    // destructors, when the thread of a player already destroyed is still
    // inside SDL; otherwise returns. For the end of main, once the windows
    // are gone and the records saved.
    static void ExitNowIfSoundIsStuck(int status);

    // A cue file as read, and converted to a device's format. Never changed
    // once made, so both threads may hold it.
    struct TCue;
    using TCuePtr = std::shared_ptr<const TCue>;

private:
    // The player's thread: its loop, the device it runs and the state it
    // shares with the GUI thread, held by both so that it may outlive the
    // player (see the destructor).
    struct TPlayerThread;

    void StartWorker();

    std::string File;
    std::map<std::string, TCuePtr> Cache; // GUI thread only
    bool FailureReported = false;
    std::shared_ptr<TPlayerThread> Shared;
    std::thread Worker;
};
