#include "sound/SoundPlayer.h"

#include "game/MoveEffects.h"
#include "sound/SdlLibrary.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <span>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// A short device buffer: a new cue waits at most one buffer behind the old.
constexpr Uint16 DeviceSamples = 512;

// How long quitting waits for the player's thread to close the device.
constexpr std::chrono::milliseconds QuitWait{300};

// Threads of destroyed players still inside SDL; see ExitNowIfSoundIsStuck.
std::atomic<int> ThreadsLeftInSdl{0};

std::runtime_error SdlError(const TSdlLibrary& sdl) {
    const char* text = sdl.GetError();
    return std::runtime_error(text && *text ? text : "Unknown error code");
}

// A missing cue file is told in the game's words, SDL's English text after
// them as the cause; any other failure in SDL's words alone.
std::runtime_error CueError(const TSdlLibrary& sdl, const std::string& name) {
    const std::string cause = SdlError(sdl).what();
    struct stat info {};
    if (stat(name.c_str(), &info) != 0 && errno == ENOENT)
        return std::runtime_error("Не найден звуковой файл " + name + ": " + cause);
    return std::runtime_error(cause);
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
std::vector<Uint8> Convert(const TSdlLibrary& sdl, const SDL_AudioSpec& from,
                           const std::vector<Uint8>& samples, const SDL_AudioSpec& to) {
    SDL_AudioCVT cvt{};
    const int needed = sdl.BuildAudioCVT(&cvt, from.format, from.channels, from.freq, to.format,
                                         to.channels, to.freq);
    if (needed < 0)
        throw SdlError(sdl);
    if (needed == 0)
        return samples;
    std::vector<Uint8> converted(samples.size() *
                                 static_cast<std::size_t>(std::max(cvt.len_mult, 1)));
    std::copy(samples.begin(), samples.end(), converted.begin());
    cvt.buf = converted.data();
    cvt.len = static_cast<int>(samples.size());
    if (sdl.ConvertAudio(&cvt) != 0)
        throw SdlError(sdl);
    converted.resize(static_cast<std::size_t>(cvt.len_cvt));
    return converted;
}

// How long the samples play in the given format.
TClock::duration PlayTime(std::size_t bytes, const SDL_AudioSpec& format) {
    const auto frameBytes =
        static_cast<std::size_t>(SDL_AUDIO_BITSIZE(format.format) / 8 * format.channels);
    if (frameBytes == 0 || format.freq <= 0)
        return {};
    return std::chrono::microseconds(bytes / frameBytes * 1'000'000 /
                                     static_cast<std::size_t>(format.freq));
}

// Whether the open device went away, told by the events SDL posts. SDL 2
// marks such a device stopped as well; SDL 3, which newer SDL 2 libraries
// run on, keeps it playing into nothing, and names it 0 in its event. Only
// the thread that started SDL's audio takes its events in.
bool DeviceRemoved(const TSdlLibrary& sdl, SDL_AudioDeviceID device) {
    sdl.PumpEvents();
    bool removed = false;
    SDL_Event events[8];
    int count = 0;
    // Devices added are taken out of the queue too, so that it never fills.
    while ((count = sdl.PeepEvents(events, 8, SDL_GETEVENT, SDL_AUDIODEVICEADDED,
                                   SDL_AUDIODEVICEREMOVED)) > 0)
        for (const SDL_Event& event : std::span(events, static_cast<std::size_t>(count)))
            removed |= event.type == SDL_AUDIODEVICEREMOVED && !event.adevice.iscapture &&
                       (event.adevice.which == device || event.adevice.which == 0);
    return removed;
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
    TCuePtr For(const TSdlLibrary& sdl, const SDL_AudioSpec& device) const {
        auto cue = std::make_shared<TCue>(TCue{Name, Key, Format, Samples, device, {}});
        cue->Played = Convert(sdl, Format, Samples, device);
        return cue;
    }

    // Reads the file, as of the key taken before, fitting no device yet.
    // Throws with SDL's text when it cannot be read.
    static TCuePtr Read(const TSdlLibrary& sdl, const std::string& name, const TFileKey& key) {
        SDL_AudioSpec format{};
        Uint8* raw = nullptr;
        Uint32 length = 0;
        sdl.ClearError();
        if (!sdl.LoadWAV_RW(sdl.RWFromFile(name.c_str(), "rb"), 1, &format, &raw, &length))
            throw CueError(sdl, name);
        const std::unique_ptr<Uint8, decltype(sdl.FreeWAV)> samples(raw, sdl.FreeWAV);
        return std::make_shared<const TCue>(
            TCue{name, key, format, std::vector<Uint8>(raw, raw + length), {}, {}});
    }
};

namespace {

// The one way a cue is made to fit a device's format: the cue itself when it
// fits, else a converted copy. Resampling a whole cue is slow: never called
// with the player's lock held.
TSoundPlayer::TCuePtr Fitted(const TSdlLibrary& sdl, const TSoundPlayer::TCuePtr& cue,
                             const SDL_AudioSpec& device) {
    return cue->Fits(device) ? cue : cue->For(sdl, device);
}

// The cue of the file as it is now: from the cache while the file stays the
// same, read again otherwise. GUI thread only.
TSoundPlayer::TCuePtr CachedCue(std::map<std::string, TSoundPlayer::TCuePtr>& cache,
                                const std::string& file, const TSdlLibrary& sdl) {
    struct stat info {};
    TFileKey key{};
    if (stat(file.c_str(), &info) == 0) {
        key = KeyOf(info);
        const auto found = cache.find(file);
        if (found != cache.end() && found->second->Key == key)
            return found->second;
    }
    cache.erase(file);
    // Read again even when the file is not there, for SDL's own report.
    TSoundPlayer::TCuePtr cue = TSoundPlayer::TCue::Read(sdl, file, key);
    cache[file] = cue;
    return cue;
}

} // namespace

// The audio device's life. Every change goes through TPlayerThread::Become,
// which holds the table of the changes allowed:
//   Closed, Resting, Failed -> OpenRequested  the game asks for the device, or a
//                                             cue for a device closed for silence
//   OpenRequested -> Opening                  the player's thread takes it up
//   OpenRequested -> Failed                   no thread could be started
//   Opening -> Open | Failed                  SDL opened it, or not (or no library)
//   Open -> Resting                           silent for RestAfter: closed
//   Open -> OpenRequested                     it went away: replaced
//   any -> Closed                             the player's thread ends
enum class TDeviceState { Closed, OpenRequested, Opening, Open, Resting, Failed };

struct TSoundPlayer::TPlayerThread {
    explicit TPlayerThread(std::chrono::milliseconds restAfter) : RestAfter(restAfter) {}

    // Moves the device to its next state; lock held. Asking for a device
    // wakes the player's thread.
    void Become(TDeviceState next);
    // Whether a cue asked for now waits for a device about to be open.
    bool OpenAhead() const {
        return State == TDeviceState::OpenRequested || State == TDeviceState::Opening;
    }
    // The cue converted for the open device's format, the lock let go while
    // it converts; since the device may be replaced meanwhile, the format is
    // looked at again until the cue fits, the device is no longer open, or
    // stillWanted() says the cue was cut off. Lock held on entry and return,
    // also when the conversion throws.
    template <class Wanted>
    TCuePtr FitToDevice(std::unique_lock<std::mutex>& hold, TCuePtr cue, Wanted stillWanted);

    void Run();
    // Loads SDL's library if it is not yet loaded; false with the reason.
    bool LoadLibrary(std::string& failure);
    void Open(SDL_AudioDeviceID stopped, bool readCues);
    // Reads the file of a cue asked for before the library was loaded or
    // while the device was being opened, and plays it, or keeps it for the
    // device being opened.
    void ReadAsked(const std::string& name, unsigned ticket);
    void CloseAll();
    // Cuts off what plays and plays the cue, which fits the open device.
    // Lock held.
    void Play(const TCuePtr& cue);
    // Replaces the open device when it went away; the cue that was playing
    // then plays again on the new one.
    void ReplaceIfRemoved(std::unique_lock<std::mutex>& hold);

    const std::chrono::milliseconds RestAfter;
    bool Initialized = false; // SDL's audio; the player's thread only

    // Shared by the two threads, under Lock. Nothing slow runs while it is
    // held: loading the library, opening and closing the device, reading
    // files and converting cues (FitToDevice) happen outside it; queueing a
    // cue only copies it.
    std::mutex Lock;
    std::condition_variable Wake;
    std::condition_variable Finished;
    const TSdlLibrary* Sdl = nullptr; // set by the player's thread once loaded
    bool NoLibrary = false;           // it could not be loaded: no sound
    TDeviceState State = TDeviceState::Closed;
    bool CuesWanted = false; // read the cue files at the next open
    bool Quitting = false;
    bool Done = false;                    // the thread has let go of SDL
    bool CheckWanted = false;             // see whether the device went away
    bool LeftBehind = false;              // the player was destroyed without waiting for it
    SDL_AudioDeviceID Device = 0;         // while State is Open, else 0
    SDL_AudioDeviceID CloseRequested = 0; // for the player's thread to close
    SDL_AudioSpec DeviceFormat{};         // of the last device opened
    TClock::time_point RestAt;            // when an open device may close
    TCuePtr Playing;                      // the cue last played, until RestAt
    std::string Failure;                  // why there is no device
    TCuePtr Pending;                      // asked for while the device was opening
    std::vector<TCuePtr> Read;            // read by the player's thread, not yet cached
    unsigned Ticket = 0;                  // counts the cues asked for
    std::string Unread;                   // a cue's file for the player's thread to read
    bool UnreadWanted = false;
    std::string CueFailure; // why that file could not be read, for the next cue
};

TSoundPlayer::TSoundPlayer(std::chrono::milliseconds restAfter)
    : Shared(std::make_shared<TPlayerThread>(restAfter)) {}

TSoundPlayer::~TSoundPlayer() {
    if (!Worker.joinable())
        return;
    std::unique_lock hold(Shared->Lock);
    Shared->Quitting = true;
    Shared->Wake.notify_one();
    if (Shared->Finished.wait_for(hold, QuitWait, [this] { return Shared->Done; })) {
        hold.unlock();
        Worker.join();
        return;
    }
    // The thread is held inside SDL, opening a device from a sound server
    // that accepted and does not answer, maybe never. The game does not wait
    // for it: the thread keeps the state it uses and finishes on its own,
    // and the program ends without the static destructors that would tear
    // SDL down under it (ExitNowIfSoundIsStuck).
    Shared->LeftBehind = true;
    ++ThreadsLeftInSdl;
    hold.unlock();
    Worker.detach();
}

void TSoundPlayer::ExitNowIfSoundIsStuck(int status) {
    if (ThreadsLeftInSdl.load() == 0)
        return;
    // Everything the player would lose was written before the windows went;
    // what stdio still buffers is flushed, and nothing else is run.
    std::fflush(nullptr);
    std::_Exit(status);
}

void TSoundPlayer::OpenDevice() {
    {
        const std::lock_guard hold(Shared->Lock);
        if (Shared->State == TDeviceState::Open || Shared->OpenAhead())
            return;
        Shared->Become(TDeviceState::OpenRequested);
        Shared->CuesWanted = true;
    }
    StartWorker();
}

void TSoundPlayer::StartWorker() {
    if (Worker.joinable()) {
        Shared->Wake.notify_one();
        return;
    }
    try {
        Worker = std::thread([device = Shared] { device->Run(); });
    } catch (const std::system_error&) {
        // No thread, no sound: told like a device that cannot be opened.
        const std::lock_guard hold(Shared->Lock);
        if (Shared->State == TDeviceState::OpenRequested)
            Shared->Become(TDeviceState::Failed);
        Shared->UnreadWanted = false;
        Shared->Failure = "Cannot start the sound player's thread";
    }
}

void TSoundPlayer::PlayCue(int cue) {
    // The names carry no folder: the game finds them where it was started.
    if (cue >= 1 && cue <= static_cast<int>(CueFileNames.size()))
        File = CueFileNames[static_cast<std::size_t>(cue - 1)];

    TPlayerThread& shared = *Shared;
    SDL_AudioSpec format{};
    std::string deferred;
    const TSdlLibrary* const sdl = TSdlLibrary::Loaded();
    {
        std::unique_lock hold(shared.Lock);
        for (TCuePtr& read : shared.Read)
            Cache[read->Name] = std::move(read);
        shared.Read.clear();
        // A device closed for silence opens again in the same format.
        format = shared.DeviceFormat;
        ++shared.Ticket;
        shared.UnreadWanted = false; // an older cue not yet read is cut off
        if (!sdl || shared.OpenAhead()) {
            // SDL is still being loaded, or the device opened, on the
            // player's thread, and SDL 2 changes its hints unlocked meanwhile,
            // which reading a file looks up: the file is read there too, and
            // played as soon as the device is open. Its failure, if any, is
            // reported at the next cue.
            if (!shared.Failure.empty() && !FailureReported) {
                FailureReported = true;
                throw std::runtime_error(shared.Failure);
            }
            if (shared.NoLibrary)
                return;
            shared.Pending.reset();
            shared.Unread = File;
            shared.UnreadWanted = true;
            hold.unlock();
            StartWorker();
            return;
        }
        deferred = std::exchange(shared.CueFailure, {});
    }
    // The file is looked at even when there is no device, so a missing one
    // is still reported on every cue (with SDL's library: it reads them).
    TCuePtr sound;
    try {
        sound = CachedCue(Cache, File, *sdl);
        if (format.freq != 0 && !sound->Fits(format)) {
            sound = Fitted(*sdl, sound, format);
            Cache[sound->Name] = sound;
        }
    } catch (const std::runtime_error& e) {
        if (deferred.empty())
            throw;
        throw std::runtime_error(deferred + "\n" + e.what());
    }

    {
        std::unique_lock hold(shared.Lock);
        if (!shared.Failure.empty() && !FailureReported) {
            FailureReported = true;
            throw std::runtime_error(deferred.empty() ? shared.Failure
                                                      : deferred + "\n" + shared.Failure);
        }
        // A device that was unplugged stays stopped for good: the player's
        // thread replaces it, and this cue plays on the new one.
        if (shared.State == TDeviceState::Open &&
            shared.Sdl->GetAudioDeviceStatus(shared.Device) == SDL_AUDIO_STOPPED)
            shared.Become(TDeviceState::OpenRequested);
        // Only a device replaced since the format was taken differs from it.
        sound = shared.FitToDevice(hold, std::move(sound), [] { return true; });
        if (shared.State == TDeviceState::Open) {
            shared.Play(sound);
            shared.CheckWanted = true;
            shared.Wake.notify_one();
        } else {
            if (shared.State == TDeviceState::Resting)
                shared.Become(TDeviceState::OpenRequested);
            if (shared.OpenAhead())
                shared.Pending = std::move(sound);
        }
    }
    if (!deferred.empty())
        throw std::runtime_error(deferred);
}

void TSoundPlayer::TPlayerThread::Become(TDeviceState next) {
    using enum TDeviceState;
    [[maybe_unused]] const bool allowed =
        next == Closed ||
        (next == OpenRequested &&
         (State == Closed || State == Resting || State == Failed || State == Open)) ||
        (next == Opening && State == OpenRequested) ||
        (next == Failed && (State == OpenRequested || State == Opening)) ||
        (next == Open && State == Opening) || (next == Resting && State == Open);
    assert(allowed);
    if (State == Open && next != Open) {
        // A device that went away is closed by the player's thread, before
        // it opens the next; one closed for silence by the caller.
        if (next == OpenRequested)
            CloseRequested = Device;
        Device = 0;
    }
    State = next;
    if (next == OpenRequested)
        Wake.notify_one();
}

template <class Wanted>
TSoundPlayer::TCuePtr TSoundPlayer::TPlayerThread::FitToDevice(std::unique_lock<std::mutex>& hold,
                                                               TCuePtr cue, Wanted stillWanted) {
    while (cue && State == TDeviceState::Open && stillWanted() && !cue->Fits(DeviceFormat)) {
        const SDL_AudioSpec format = DeviceFormat;
        hold.unlock();
        TCuePtr fitted;
        try {
            fitted = Fitted(*Sdl, cue, format);
        } catch (...) {
            hold.lock();
            throw;
        }
        hold.lock();
        cue = std::move(fitted);
    }
    return cue;
}

void TSoundPlayer::TPlayerThread::Play(const TCuePtr& cue) {
    // A cue that fails to start is only a missing sound: the game goes on.
    Sdl->ClearQueuedAudio(Device);
    Sdl->QueueAudio(Device, cue->Played.data(), static_cast<Uint32>(cue->Played.size()));
    RestAt = TClock::now() + PlayTime(cue->Played.size(), DeviceFormat) + RestAfter;
    Playing = cue;
}

void TSoundPlayer::TPlayerThread::ReplaceIfRemoved(std::unique_lock<std::mutex>& hold) {
    const SDL_AudioDeviceID device = Device;
    hold.unlock();
    const bool removed = DeviceRemoved(*Sdl, device);
    hold.lock();
    if (!removed || State != TDeviceState::Open || Device != device)
        return;
    Become(TDeviceState::OpenRequested);
    if (TClock::now() + RestAfter < RestAt)
        Pending = Playing; // it had not yet ended
}

void TSoundPlayer::TPlayerThread::Run() {
    std::unique_lock hold(Lock);
    const auto asked = [this] {
        return Quitting || State == TDeviceState::OpenRequested || UnreadWanted || CheckWanted;
    };
    for (;;) {
        if (State == TDeviceState::Open)
            Wake.wait_until(hold, RestAt, asked);
        else
            Wake.wait(hold, asked);
        if (Quitting)
            break;
        if (std::exchange(CheckWanted, false) && State == TDeviceState::Open && Initialized) {
            ReplaceIfRemoved(hold);
            continue;
        }
        if (State == TDeviceState::OpenRequested) {
            Become(TDeviceState::Opening);
            const bool readCues = std::exchange(CuesWanted, false);
            const SDL_AudioDeviceID stopped = std::exchange(CloseRequested, 0);
            hold.unlock();
            Open(stopped, readCues);
            hold.lock();
            continue;
        }
        if (UnreadWanted) {
            UnreadWanted = false;
            const std::string name = std::exchange(Unread, {});
            const unsigned ticket = Ticket;
            hold.unlock();
            ReadAsked(name, ticket);
            hold.lock();
            continue;
        }
        if (State != TDeviceState::Open || TClock::now() < RestAt)
            continue;
        // Silent for a while: the device closes, and with it SDL's thread
        // and the sound server's stream. What is still queued plays first.
        if (const Uint32 queued = Sdl->GetQueuedAudioSize(Device); queued > 0) {
            RestAt = TClock::now() + PlayTime(queued, DeviceFormat) + RestAfter;
            continue;
        }
        const SDL_AudioDeviceID device = Device;
        Playing.reset();
        Become(TDeviceState::Resting);
        hold.unlock();
        Sdl->CloseAudioDevice(device);
        hold.lock();
    }
    hold.unlock();
    CloseAll();
    if (Sdl)
        Sdl->TLSCleanup(); // SDL keeps its error text per thread
    hold.lock();
    Done = true;
    if (LeftBehind)
        --ThreadsLeftInSdl;
    Finished.notify_all();
}

bool TSoundPlayer::TPlayerThread::LoadLibrary(std::string& failure) {
    if (Sdl)
        return true;
    const TSdlLibrary* const loaded = TSdlLibrary::Load(failure);
    const std::lock_guard hold(Lock);
    Sdl = loaded;
    NoLibrary = loaded == nullptr;
    if (!loaded) {
        Failure = failure;
        Pending.reset();
    }
    return loaded != nullptr;
}

void TSoundPlayer::TPlayerThread::ReadAsked(const std::string& name, unsigned ticket) {
    std::string failure;
    if (!LoadLibrary(failure))
        return;
    TCuePtr cue;
    try {
        struct stat info {};
        const TFileKey key = stat(name.c_str(), &info) == 0 ? KeyOf(info) : TFileKey{};
        cue = TCue::Read(*Sdl, name, key);
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    std::unique_lock hold(Lock);
    try {
        cue = FitToDevice(hold, std::move(cue), [&] { return Ticket == ticket; });
    } catch (const std::runtime_error& e) {
        cue.reset();
        failure = e.what();
    }
    // A later cue cut this one off before it could start.
    if (Ticket != ticket)
        return;
    if (!cue) {
        CueFailure = failure;
        return;
    }
    Read.push_back(cue);
    if (State == TDeviceState::Open)
        Play(cue);
    else if (OpenAhead())
        Pending = std::move(cue);
}

void TSoundPlayer::TPlayerThread::Open(SDL_AudioDeviceID stopped, bool readCues) {
    std::string failure;
    if (!LoadLibrary(failure)) {
        const std::lock_guard hold(Lock);
        Become(TDeviceState::Failed);
        return;
    }
    if (stopped != 0) {
        Sdl->CloseAudioDevice(stopped);
        // SDL 3 keeps a device that went away as a silent stand-in and opens
        // that again as the default: a fresh start of SDL's audio looks for
        // the devices anew.
        if (Initialized)
            Sdl->QuitSubSystem(SDL_INIT_AUDIO);
        Initialized = false;
    }
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec obtained{};
    if (!Initialized) {
        Sdl->ClearError();
        Initialized = Sdl->InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    if (Initialized) {
        SDL_AudioSpec wanted{};
        wanted.freq = 44100;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = 2;
        wanted.samples = DeviceSamples;
        // No callback: the device is fed through its queue. The device keeps
        // its own format; the cues are converted to it.
        Sdl->ClearError();
        device = Sdl->OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_ANY_CHANGE);
    }
    if (device == 0) {
        failure = SdlError(*Sdl).what();
        // A sound server started later is found by a fresh start of SDL's audio.
        if (Initialized)
            Sdl->QuitSubSystem(SDL_INIT_AUDIO);
        Initialized = false;
    } else {
        Sdl->PauseAudioDevice(device, 0);
    }

    // The cues are read now, so that not even the first key reads a file.
    // One that cannot be read is left to its cue, which reports it. A device
    // opened again after silence has them already.
    std::vector<TCuePtr> read;
    for (const char* name : CueFileNames) {
        struct stat info {};
        if (!readCues || stat(name, &info) != 0)
            continue;
        try {
            const TCuePtr cue = TCue::Read(*Sdl, name, KeyOf(info));
            read.push_back(device != 0 ? Fitted(*Sdl, cue, obtained) : cue);
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
            fitted = Fitted(*Sdl, asked, obtained);
        } catch (const std::runtime_error&) {
        }
        hold.lock();
        if (Pending == asked)
            Pending = std::move(fitted);
    }
    Device = device;
    if (device != 0)
        DeviceFormat = obtained;
    RestAt = TClock::now() + RestAfter;
    if (device != 0 && Pending)
        Play(Pending);
    Pending.reset();
    std::move(read.begin(), read.end(), std::back_inserter(Read));
    Failure = std::move(failure);
    Become(device != 0 ? TDeviceState::Open : TDeviceState::Failed);
}

void TSoundPlayer::TPlayerThread::CloseAll() {
    SDL_AudioDeviceID devices[2] = {};
    {
        const std::lock_guard hold(Lock);
        devices[0] = Device;
        devices[1] = std::exchange(CloseRequested, 0);
        Become(TDeviceState::Closed);
    }
    for (const SDL_AudioDeviceID device : devices)
        if (device != 0)
            Sdl->CloseAudioDevice(device);
    if (Initialized)
        Sdl->QuitSubSystem(SDL_INIT_AUDIO);
    Initialized = false;
}
