#include "ui/SoundPlayer.h"

#include "game/MoveEffects.h"

#include <SDL.h>

#include <sys/stat.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <utility>

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

// What tells one version of a file from another without reading it. The
// change time moves with the permissions too, so a file made unreadable is
// read (and its failure reported) again.
using TFileKey = std::tuple<dev_t, ino_t, off_t, long, long, long, long, mode_t>;

TFileKey KeyOf(const struct stat& info) {
    return {info.st_dev,          info.st_ino,         info.st_size,         info.st_mtim.tv_sec,
            info.st_mtim.tv_nsec, info.st_ctim.tv_sec, info.st_ctim.tv_nsec, info.st_mode};
}

bool SameFormat(const SDL_AudioSpec& a, const SDL_AudioSpec& b) {
    return a.freq == b.freq && a.format == b.format && a.channels == b.channels;
}

// The cue's samples in the device's format. SDL's audio stream of this
// version drops the tail of a resampled buffer, so the whole buffer goes
// through a one-shot conversion.
std::vector<Uint8> Convert(const SDL_AudioSpec& from, const std::vector<Uint8>& samples,
                           const SDL_AudioSpec& to) {
    SDL_AudioCVT cvt{};
    const int needed = SDL_BuildAudioCVT(&cvt, from.format, from.channels, from.freq, to.format,
                                         to.channels, to.freq);
    if (needed < 0)
        throw SdlError();
    if (needed == 0)
        return samples;
    std::vector<Uint8> converted(samples.size() *
                                 static_cast<std::size_t>(std::max(cvt.len_mult, 1)));
    std::copy(samples.begin(), samples.end(), converted.begin());
    cvt.buf = converted.data();
    cvt.len = static_cast<int>(samples.size());
    if (SDL_ConvertAudio(&cvt) != 0)
        throw SdlError();
    converted.resize(static_cast<std::size_t>(cvt.len_cvt));
    return converted;
}

} // namespace

struct TSoundPlayer::TCue {
    std::string Name;
    TFileKey Key{};
    SDL_AudioSpec Format{};
    std::vector<Uint8> Samples;
    SDL_AudioSpec PlayedAs{}; // the device format of Played; freq 0 for none
    std::vector<Uint8> Played;

    bool Fits(const SDL_AudioSpec& device) const { return SameFormat(PlayedAs, device); }

    // The same cue converted for another device format.
    TCuePtr For(const SDL_AudioSpec& device) const {
        auto cue = std::make_shared<TCue>(TCue{Name, Key, Format, Samples, device, {}});
        cue->Played = Convert(Format, Samples, device);
        return cue;
    }

    // Reads the file, as of the key taken before; converts it when there is
    // a device. Throws with SDL's text when it cannot be read.
    static TCuePtr Read(const std::string& name, const TFileKey& key, const SDL_AudioSpec* device) {
        SDL_AudioSpec format{};
        Uint8* raw = nullptr;
        Uint32 length = 0;
        SDL_ClearError();
        if (!SDL_LoadWAV(name.c_str(), &format, &raw, &length))
            throw SdlError();
        const TWavBuffer samples(raw);
        TCue cue{name, key, format, std::vector<Uint8>(raw, raw + length), {}, {}};
        if (device) {
            cue.Played = Convert(cue.Format, cue.Samples, *device);
            cue.PlayedAs = *device;
        }
        return std::make_shared<const TCue>(std::move(cue));
    }
};

TSoundPlayer::~TSoundPlayer() {
    if (!Worker.joinable())
        return;
    {
        const std::lock_guard hold(Lock);
        Quitting = true;
    }
    Wake.notify_one();
    Worker.join();
}

void TSoundPlayer::OpenDevice() {
    {
        const std::lock_guard hold(Lock);
        if (Device != 0 || Opening || OpenWanted)
            return;
        OpenWanted = true;
    }
    if (Worker.joinable()) {
        Wake.notify_one();
        return;
    }
    try {
        Worker = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread, no sound: told like a device that cannot be opened.
        const std::lock_guard hold(Lock);
        OpenWanted = false;
        Failure = "Cannot start the sound player's thread";
    }
}

void TSoundPlayer::PlayCue(int cue) {
    // The names carry no folder: the game finds them where it was started.
    if (cue >= 1 && cue <= static_cast<int>(CueFileNames.size()))
        File = CueFileNames[static_cast<std::size_t>(cue - 1)];

    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec format{};
    {
        const std::lock_guard hold(Lock);
        for (TCuePtr& read : Read)
            Cache[read->Name] = std::move(read);
        Read.clear();
        device = Device;
        format = DeviceFormat;
    }
    // The file is looked at even when there is no sound, so a missing one
    // is still reported on every cue.
    TCuePtr sound = CachedCue(device != 0 ? &format : nullptr);
    {
        const std::lock_guard hold(Lock);
        if (!Failure.empty() && !FailureReported) {
            FailureReported = true;
            throw std::runtime_error(Failure);
        }
        // A device that was unplugged stays stopped for good: the player's
        // thread replaces it, and this cue plays on the new one.
        if (Device != 0 && SDL_GetAudioDeviceStatus(Device) == SDL_AUDIO_STOPPED) {
            Stopped = std::exchange(Device, 0);
            OpenWanted = true;
            Wake.notify_one();
        }
        if (Device == 0) {
            if (Opening || OpenWanted)
                Pending = std::move(sound);
            return;
        }
        device = Device;
        format = DeviceFormat;
    }
    if (!sound->Fits(format)) {
        sound = sound->For(format);
        Cache[sound->Name] = sound;
    }
    // A cue that fails to start is only a missing sound: the game goes on.
    SDL_ClearQueuedAudio(device);
    SDL_QueueAudio(device, sound->Played.data(), static_cast<Uint32>(sound->Played.size()));
}

TSoundPlayer::TCuePtr TSoundPlayer::CachedCue(const SDL_AudioSpec* deviceFormat) {
    struct stat info {};
    TFileKey key{};
    if (stat(File.c_str(), &info) == 0) {
        key = KeyOf(info);
        const auto found = Cache.find(File);
        if (found != Cache.end() && found->second->Key == key)
            return found->second;
    }
    Cache.erase(File);
    // Read again even when the file is not there, for SDL's own report.
    TCuePtr cue = TCue::Read(File, key, deviceFormat);
    Cache[File] = cue;
    return cue;
}

void TSoundPlayer::Run() {
    std::unique_lock hold(Lock);
    for (;;) {
        Wake.wait(hold, [this] { return Quitting || OpenWanted; });
        if (Quitting)
            break;
        OpenWanted = false;
        Opening = true;
        const SDL_AudioDeviceID stopped = std::exchange(Stopped, 0);
        hold.unlock();
        OpenOnThread(stopped);
        hold.lock();
    }
    hold.unlock();
    CloseOnThread();
    SDL_TLSCleanup(); // SDL keeps its error text per thread
}

void TSoundPlayer::OpenOnThread(SDL_AudioDeviceID stopped) {
    if (stopped != 0)
        SDL_CloseAudioDevice(stopped);
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec obtained{};
    std::string failure;
    if (!Initialized) {
        // Otherwise SDL catches SIGINT and SIGTERM and the game ignores them.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_ClearError();
        Initialized = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    if (Initialized) {
        SDL_AudioSpec wanted{};
        wanted.freq = 44100;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = 2;
        wanted.samples = DeviceSamples;
        // No callback: the device is fed through its queue. The device keeps
        // its own format; the cues are converted to it.
        SDL_ClearError();
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_ANY_CHANGE);
    }
    if (device == 0) {
        failure = SdlError().what();
        // A sound server started later is found by a fresh start of SDL's audio.
        if (Initialized)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        Initialized = false;
    } else {
        SDL_PauseAudioDevice(device, 0);
    }

    // The cues are read now, so that not even the first key reads a file.
    // One that cannot be read is left to its cue, which reports it.
    std::vector<TCuePtr> read;
    for (const char* name : CueFileNames) {
        struct stat info {};
        if (stat(name, &info) != 0)
            continue;
        try {
            read.push_back(TCue::Read(name, KeyOf(info), device != 0 ? &obtained : nullptr));
        } catch (const std::runtime_error&) {
        }
    }

    std::unique_lock hold(Lock);
    // A cue asked for meanwhile is converted here, without the lock, and
    // played as the device goes live, so a later cue still cuts it off.
    while (device != 0 && Pending && !Pending->Fits(obtained)) {
        const TCuePtr asked = Pending;
        TCuePtr fitted;
        hold.unlock();
        try {
            fitted = asked->For(obtained);
        } catch (const std::runtime_error&) {
        }
        hold.lock();
        if (Pending == asked)
            Pending = std::move(fitted);
    }
    if (device != 0 && Pending)
        SDL_QueueAudio(device, Pending->Played.data(), static_cast<Uint32>(Pending->Played.size()));
    Pending.reset();
    Read = std::move(read);
    Device = device;
    DeviceFormat = obtained;
    Failure = std::move(failure);
    Opening = false;
}

void TSoundPlayer::CloseOnThread() {
    SDL_AudioDeviceID devices[2] = {};
    {
        const std::lock_guard hold(Lock);
        devices[0] = std::exchange(Device, 0);
        devices[1] = std::exchange(Stopped, 0);
    }
    for (const SDL_AudioDeviceID device : devices)
        if (device != 0)
            SDL_CloseAudioDevice(device);
    if (Initialized)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    Initialized = false;
}
