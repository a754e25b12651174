#pragma once

#include <SDL_audio.h>

#include <string>

// Plays the game's short sound cues through one SDL audio device. The device
// is opened once, at the first cue, in whatever format the system prefers;
// every cue is converted to that format, so cue files may differ in rate,
// channels and sample format. Closing a device stalls the calling thread for
// a long time, so it is only reopened when it stopped (it was unplugged).
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

    // Cues 1 to 5 pick their file; any other number replays the last file.
    // Cuts off the cue still playing and returns at once. Throws
    // std::runtime_error with SDL's message when the file cannot be loaded
    // (on every cue) or the first time the audio device cannot be opened.
    void PlayCue(int cue);

    // The next cue tries the audio device again if it could not be opened.
    void RetryDevice() { DeviceRetry = true; }

    // The file of the last cue, relative to the working directory.
    const std::string& FileName() const { return File; }

private:
    // False when there is no device to play on; throws on the first failure.
    bool EnsureDevice();
    void OpenDevice();
    void CloseDevice();

    std::string File;
    bool Initialized = false;
    SDL_AudioDeviceID Device = 0;
    SDL_AudioSpec DeviceFormat{};
    bool DeviceRetry = true;
    bool FailureReported = false;
};
