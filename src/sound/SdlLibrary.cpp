#include "sound/SdlLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace {

std::atomic<const TSdlLibrary*> LoadedLibrary{nullptr};

template <typename TFunction> bool Find(void* handle, const char* name, TFunction& function) {
    function = reinterpret_cast<TFunction>(dlsym(handle, name));
    return function != nullptr;
}

std::string DlError(const char* fallback) {
    const char* text = dlerror();
    return text ? text : fallback;
}

} // namespace

void TSdlLibrary::TDlClose::operator()(void* handle) const {
    dlclose(handle);
}

const TSdlLibrary* TSdlLibrary::Loaded() {
    return LoadedLibrary.load(std::memory_order_acquire);
}

const TSdlLibrary* TSdlLibrary::Load(std::string& failure) {
    static std::mutex lock;
    static std::unique_ptr<const TSdlLibrary> library;
    const std::lock_guard hold(lock);
    if (library)
        return library.get();
    auto found = std::make_unique<TSdlLibrary>();
    // Never unmapped, not even at exit: a sound thread left behind may still
    // be inside it, and SDL leaves per-thread cleanups that point into it.
    dlerror();
    found->Handle.reset(dlopen(FileName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    if (!found->Handle) {
        failure = "Cannot load the sound library: " + DlError(FileName);
        return nullptr;
    }
    void* const handle = found->Handle.get();
    const bool complete = Find(handle, "SDL_GetError", found->GetError) &&
                          Find(handle, "SDL_ClearError", found->ClearError) &&
                          Find(handle, "SDL_SetHint", found->SetHint) &&
                          Find(handle, "SDL_InitSubSystem", found->InitSubSystem) &&
                          Find(handle, "SDL_QuitSubSystem", found->QuitSubSystem) &&
                          Find(handle, "SDL_TLSCleanup", found->TLSCleanup) &&
                          Find(handle, "SDL_RWFromFile", found->RWFromFile) &&
                          Find(handle, "SDL_LoadWAV_RW", found->LoadWAV_RW) &&
                          Find(handle, "SDL_FreeWAV", found->FreeWAV) &&
                          Find(handle, "SDL_BuildAudioCVT", found->BuildAudioCVT) &&
                          Find(handle, "SDL_ConvertAudio", found->ConvertAudio) &&
                          Find(handle, "SDL_OpenAudioDevice", found->OpenAudioDevice) &&
                          Find(handle, "SDL_PauseAudioDevice", found->PauseAudioDevice) &&
                          Find(handle, "SDL_GetAudioDeviceStatus", found->GetAudioDeviceStatus) &&
                          Find(handle, "SDL_QueueAudio", found->QueueAudio) &&
                          Find(handle, "SDL_GetQueuedAudioSize", found->GetQueuedAudioSize) &&
                          Find(handle, "SDL_ClearQueuedAudio", found->ClearQueuedAudio) &&
                          Find(handle, "SDL_CloseAudioDevice", found->CloseAudioDevice) &&
                          Find(handle, "SDL_PumpEvents", found->PumpEvents) &&
                          Find(handle, "SDL_PeepEvents", found->PeepEvents);
    if (!complete) {
        // An SDL older than the game needs.
        failure = "The sound library is too old: " + DlError(FileName);
        return nullptr;
    }
    // SDL 2's hints have no lock: whatever it is told is told before any
    // other thread may use it. Otherwise SDL catches SIGINT and SIGTERM and
    // the game ignores them.
    found->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    library = std::move(found);
    LoadedLibrary.store(library.get(), std::memory_order_release);
    return library.get();
}
