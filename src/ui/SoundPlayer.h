#pragma once

#include <SDL_audio.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
// Without a usable device the game is silent: the failure is reported once,
// and the device is only tried again when the game asks for it (New game),
// so the keys stay as fast as with sound.
class TSoundPlayer {
public:
    TSoundPlayer() = default;
    ~TSoundPlayer();
    TSoundPlayer(const TSoundPlayer&) = delete;
    TSoundPlayer& operator=(const TSoundPlayer&) = delete;

    // Starts opening the audio device and reading the five cues on the
    // player's thread and returns at once. Does nothing while a device is
    // open or being opened, so asking again tries a device that failed.
    void OpenDevice();

    // Cues 1 to 5 pick their file; any other number replays the last file.
    // Cuts off the cue still playing and returns at once; a cue asked for
    // while the device is being opened plays as soon as it is open. Throws
    // std::runtime_error with SDL's message when the file cannot be loaded
    // (on every cue) and, once, when the audio device could not be opened.
    void PlayCue(int cue);

    // The file of the last cue, relative to the working directory.
    const std::string& FileName() const { return File; }

    // A cue file as read, and converted to a device's format. Never changed
    // once made, so both threads may hold it.
    struct TCue;
    using TCuePtr = std::shared_ptr<const TCue>;

private:
    TCuePtr CachedCue(const SDL_AudioSpec* deviceFormat);
    void Run();
    void OpenOnThread(SDL_AudioDeviceID stopped);
    void CloseOnThread();

    std::string File;
    std::map<std::string, TCuePtr> Cache; // GUI thread only
    bool FailureReported = false;
    bool Initialized = false; // SDL's audio; the player's thread only

    // Shared with the player's thread, under Lock. Nothing slow runs while
    // it is held: opening and closing the device and reading files happen
    // outside it.
    std::mutex Lock;
    std::condition_variable Wake;
    bool OpenWanted = false;
    bool Opening = false;
    bool Quitting = false;
    SDL_AudioDeviceID Device = 0;  // open and playing, or 0
    SDL_AudioDeviceID Stopped = 0; // for the player's thread to close
    SDL_AudioSpec DeviceFormat{};
    std::string Failure;       // why the device could not be opened
    TCuePtr Pending;           // asked for while the device was opening
    std::vector<TCuePtr> Read; // read by the player's thread, not yet cached
    std::thread Worker;
};
