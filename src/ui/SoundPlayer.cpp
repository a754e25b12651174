#include "ui/SoundPlayer.h"

#include "game/MoveEffects.h"

#include <SDL.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// A short device buffer: a new cue waits at most one buffer behind the old.
constexpr Uint16 DeviceSamples = 512;

struct TWavDeleter {
    void operator()(Uint8* buffer) const { SDL_FreeWAV(buffer); }
};
using TWavBuffer = std::unique_ptr<Uint8, TWavDeleter>;

std::runtime_error SdlError() {
    const char* text = SDL_GetError();
    return std::runtime_error(text && *text ? text : "Unknown error code");
}

// The cue's samples in the device's format. SDL's audio stream of this
// version drops the tail of a resampled buffer, so the whole buffer goes
// through a one-shot conversion.
std::vector<Uint8> Convert(const SDL_AudioSpec& from, const Uint8* samples, Uint32 length,
                           const SDL_AudioSpec& to) {
    SDL_AudioCVT cvt{};
    const int needed = SDL_BuildAudioCVT(&cvt, from.format, from.channels, from.freq, to.format,
                                         to.channels, to.freq);
    if (needed < 0)
        throw SdlError();
    std::vector<Uint8> converted(static_cast<std::size_t>(length) *
                                 static_cast<std::size_t>(std::max(cvt.len_mult, 1)));
    std::copy(samples, samples + length, converted.begin());
    if (needed > 0) {
        cvt.buf = converted.data();
        cvt.len = static_cast<int>(length);
        if (SDL_ConvertAudio(&cvt) != 0)
            throw SdlError();
        converted.resize(static_cast<std::size_t>(cvt.len_cvt));
    } else {
        converted.resize(length);
    }
    return converted;
}

} // namespace

TSoundPlayer::~TSoundPlayer() {
    CloseDevice();
    if (Initialized)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TSoundPlayer::PlayCue(int cue) {
    // The names carry no folder: the game finds them where it was started.
    if (cue >= 1 && cue <= static_cast<int>(CueFileNames.size()))
        File = CueFileNames[static_cast<std::size_t>(cue - 1)];

    // The file is read even when there is no sound, so a missing one is
    // still reported on every cue.
    SDL_AudioSpec format{};
    Uint8* raw = nullptr;
    Uint32 length = 0;
    SDL_ClearError();
    if (!SDL_LoadWAV(File.c_str(), &format, &raw, &length))
        throw SdlError();
    const TWavBuffer samples(raw);

    if (!EnsureDevice())
        return;
    const std::vector<Uint8> converted = Convert(format, samples.get(), length, DeviceFormat);
    SDL_ClearQueuedAudio(Device);
    // A cue that fails to start is only a missing sound: the game goes on.
    SDL_QueueAudio(Device, converted.data(), static_cast<Uint32>(converted.size()));
}

bool TSoundPlayer::EnsureDevice() {
    // A device that was unplugged stays stopped for good, so it is reopened.
    if (Device != 0 && SDL_GetAudioDeviceStatus(Device) == SDL_AUDIO_STOPPED)
        CloseDevice();
    if (Device != 0)
        return true;
    if (!DeviceRetry)
        return false;
    DeviceRetry = false;
    try {
        OpenDevice();
    } catch (const std::runtime_error&) {
        if (FailureReported)
            return false;
        FailureReported = true;
        throw;
    }
    return true;
}

void TSoundPlayer::OpenDevice() {
    if (!Initialized) {
        // Otherwise SDL catches SIGINT and SIGTERM and the game ignores them.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_ClearError();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            throw SdlError();
        Initialized = true;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = DeviceSamples;
    // No callback: the device is fed through its queue. The device keeps its
    // own format; the cues are converted to it.
    SDL_AudioSpec obtained{};
    SDL_ClearError();
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_ANY_CHANGE);
    if (device == 0) {
        // A sound server started later is found by a fresh start of SDL's audio.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Initialized = false;
        throw SdlError();
    }
    Device = device;
    DeviceFormat = obtained;
    SDL_PauseAudioDevice(Device, 0);
}

void TSoundPlayer::CloseDevice() {
    if (Device == 0)
        return;
    SDL_CloseAudioDevice(Device);
    Device = 0;
}
