#pragma once

#include <SDL_audio.h>

#include <cstdint>
#include <string>

// Plays the game's short sound cues through one SDL audio device that stays
// open: closing a device stalls the calling thread for a long time, so it is
// only reopened when a cue's sample format differs from the open one.
class TSoundPlayer {
public:
    TSoundPlayer() = default;
    ~TSoundPlayer();
    TSoundPlayer(const TSoundPlayer&) = delete;
    TSoundPlayer& operator=(const TSoundPlayer&) = delete;

    // Cues 1 to 5 pick their file; any other number replays the last file.
    // Cuts off the cue still playing and returns at once. Throws
    // std::runtime_error with SDL's message when the file cannot be loaded
    // or the audio device cannot be opened.
    void PlayCue(int cue);

    // The file of the last cue, relative to the working directory.
    const std::string& FileName() const { return File; }
    bool DeviceOpen() const { return Device != 0; }
    // How often a device was opened: once, unless the cues' formats differ.
    int DeviceOpens() const { return Opens; }
    // Audio still waiting to be played, in bytes.
    std::uint32_t QueuedBytes() const;

private:
    void Init();
    void OpenDevice(const SDL_AudioSpec& format);
    void CloseDevice();
    bool DeviceFits(const SDL_AudioSpec& format) const;

    std::string File;
    bool Initialized = false;
    SDL_AudioDeviceID Device = 0;
    SDL_AudioSpec DeviceFormat{};
    int Opens = 0;
};
