#pragma once

#include <SDL.h>

#include <memory>
#include <string>

// The few SDL calls the sound player makes, found in SDL's shared library at
// run time. The game does not link SDL: the library and the thirty-odd
// libraries it brings in (sound servers, Wayland, X) would be loaded before
// the game starts and hold up its first picture, so the sound player's
// thread loads them when the game first asks for sound.
struct TSdlLibrary {
    // The library's name as installed (libsdl2-2.0-0 on Debian 12 and 13).
    static constexpr const char* FileName = "libSDL2-2.0.so.0";

    // Loads the library on the first call, tells SDL its hints and returns
    // it, the same one ever after; nullptr with the reason in failure when it cannot be
    // loaded, so a later call tries again. Slow the first time: never on
    // the GUI thread.
    static const TSdlLibrary* Load(std::string& failure);

    // Already loaded, or nullptr; never waits for a load.
    static const TSdlLibrary* Loaded();

    decltype(&SDL_GetError) GetError = nullptr;
    decltype(&SDL_ClearError) ClearError = nullptr;
    decltype(&SDL_SetHint) SetHint = nullptr;
    decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&SDL_TLSCleanup) TLSCleanup = nullptr;
    decltype(&SDL_RWFromFile) RWFromFile = nullptr;
    decltype(&SDL_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&SDL_FreeWAV) FreeWAV = nullptr;
    decltype(&SDL_BuildAudioCVT) BuildAudioCVT = nullptr;
    decltype(&SDL_ConvertAudio) ConvertAudio = nullptr;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&SDL_GetAudioDeviceStatus) GetAudioDeviceStatus = nullptr;
    decltype(&SDL_QueueAudio) QueueAudio = nullptr;
    decltype(&SDL_GetQueuedAudioSize) GetQueuedAudioSize = nullptr;
    decltype(&SDL_ClearQueuedAudio) ClearQueuedAudio = nullptr;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&SDL_PumpEvents) PumpEvents = nullptr;
    decltype(&SDL_PeepEvents) PeepEvents = nullptr;

private:
    struct TDlClose {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, TDlClose> Handle;
};
