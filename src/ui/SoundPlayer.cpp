#include "ui/SoundPlayer.h"

#include <SDL.h>

#include <array>
#include <memory>
#include <stdexcept>

namespace {

// Cue n plays CueFiles[n - 1]; the names carry no folder on purpose, so the
// game finds them in whatever directory it was started from.
constexpr std::array<const char*, 5> CueFiles{"Dizo1.wav", "Dizo2.wav", "Dizo3.wav", "Dizo4.wav",
                                              "Dizo5.wav"};

// A short device buffer: a new cue waits at most one buffer behind the old.
constexpr Uint16 DeviceSamples = 512;

struct TWavDeleter {
    void operator()(Uint8* buffer) const { SDL_FreeWAV(buffer); }
};
using TWavBuffer = std::unique_ptr<Uint8, TWavDeleter>;

[[noreturn]] void ThrowSdlError() {
    const char* text = SDL_GetError();
    throw std::runtime_error(text && *text ? text : "Unknown error code");
}

} // namespace

TSoundPlayer::~TSoundPlayer() {
    CloseDevice();
    if (Initialized)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TSoundPlayer::PlayCue(int cue) {
    if (cue >= 1 && cue <= static_cast<int>(CueFiles.size()))
        File = CueFiles[static_cast<std::size_t>(cue - 1)];
    Init();

    SDL_AudioSpec format{};
    Uint8* raw = nullptr;
    Uint32 length = 0;
    SDL_ClearError();
    if (!SDL_LoadWAV(File.c_str(), &format, &raw, &length))
        ThrowSdlError();
    const TWavBuffer samples(raw);

    // A device that was unplugged stays stopped for good, so it is reopened too.
    if (Device != 0 &&
        (!DeviceFits(format) || SDL_GetAudioDeviceStatus(Device) == SDL_AUDIO_STOPPED))
        CloseDevice();
    if (Device == 0)
        OpenDevice(format);

    SDL_ClearQueuedAudio(Device);
    // A cue that fails to start is only a missing sound: the game goes on.
    SDL_QueueAudio(Device, samples.get(), length);
}

std::uint32_t TSoundPlayer::QueuedBytes() const {
    return Device != 0 ? SDL_GetQueuedAudioSize(Device) : 0;
}

void TSoundPlayer::Init() {
    if (Initialized)
        return;
    // Otherwise SDL catches SIGINT and SIGTERM and the game ignores them.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_ClearError();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        ThrowSdlError();
    Initialized = true;
}

void TSoundPlayer::OpenDevice(const SDL_AudioSpec& format) {
    SDL_AudioSpec wanted{};
    wanted.freq = format.freq;
    wanted.format = format.format;
    wanted.channels = format.channels;
    wanted.samples = DeviceSamples;
    // No callback: the device is fed through its queue. No allowed changes:
    // SDL converts for the hardware, so the WAV samples go in as they are.
    SDL_ClearError();
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device == 0)
        ThrowSdlError();
    Device = device;
    DeviceFormat = wanted;
    ++Opens;
    SDL_PauseAudioDevice(Device, 0);
}

void TSoundPlayer::CloseDevice() {
    if (Device == 0)
        return;
    SDL_CloseAudioDevice(Device);
    Device = 0;
}

bool TSoundPlayer::DeviceFits(const SDL_AudioSpec& format) const {
    return format.freq == DeviceFormat.freq && format.format == DeviceFormat.format &&
           format.channels == DeviceFormat.channels;
}
