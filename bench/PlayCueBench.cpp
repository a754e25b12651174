// How long PlayCue holds the GUI thread, with the game's own cues: unchanged,
// replaced on disk, and the first of a run.

#include "sound/SoundPlayer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include <unistd.h>

#ifndef TARVIN_SOUNDS_DIR
#error "TARVIN_SOUNDS_DIR must name the folder holding the cue WAV files"
#endif

namespace {

namespace fs = std::filesystem;

// The game finds its cues in the working directory, so the benchmark plays
// them from a scratch copy made the working directory for the run.
class TCueDir {
public:
    TCueDir() : Previous(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "tarvin-cues-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder for the cues");
        Dir = pattern;
        for (const fs::directory_entry& entry : fs::directory_iterator(TARVIN_SOUNDS_DIR))
            if (entry.path().extension() == ".wav")
                fs::copy_file(entry.path(), Dir / entry.path().filename());
        fs::current_path(Dir);
    }
    ~TCueDir() {
        std::error_code ignored;
        fs::current_path(Previous, ignored);
        fs::remove_all(Dir, ignored);
    }
    TCueDir(const TCueDir&) = delete;
    TCueDir& operator=(const TCueDir&) = delete;

private:
    fs::path Previous;
    fs::path Dir;
};

// Steady play: the device is open, the cue files unchanged, and every cue
// cuts off the one before.
void BM_PlayCue(benchmark::State& state) {
    try {
        TSoundPlayer player;
        player.OpenDevice();
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // opens meanwhile
        for (int cue = 1; cue <= 5; ++cue)
            player.PlayCue(cue);
        int cue = 0;
        for (auto _ : state) {
            cue = cue % 5 + 1;
            player.PlayCue(cue);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_PlayCue)->Repetitions(15)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

// A cue whose file the player replaced since it last played: read and
// converted again.
void BM_PlayReplacedCue(benchmark::State& state) {
    try {
        TSoundPlayer player;
        player.OpenDevice();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        player.PlayCue(2);
        for (auto _ : state) {
            state.PauseTiming();
            fs::copy_file("Dizo2.wav", "Dizo2.new", fs::copy_options::overwrite_existing);
            fs::rename("Dizo2.new", "Dizo2.wav");
            state.ResumeTiming();
            player.PlayCue(2);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_PlayReplacedCue)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// The first cue of a run, right after the window asked for the device: the
// device opens in the background, the cue waits for it there.
void BM_FirstCue(benchmark::State& state) {
    try {
        for (auto _ : state) {
            std::optional<TSoundPlayer> player(std::in_place);
            player->OpenDevice();
            player->PlayCue(1);
            // Quitting closes the device, outside the game's keys.
            state.PauseTiming();
            player.reset();
            state.ResumeTiming();
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_FirstCue)
    ->Iterations(20)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

// Whether SDL runs a thread for an open audio device in this process.
bool DeviceOpen() {
    for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task")) {
        std::FILE* comm = std::fopen((task.path() / "comm").c_str(), "r");
        char name[32] = {};
        const bool read = comm && std::fgets(name, sizeof name, comm);
        if (comm)
            std::fclose(comm);
        if (read && std::string(name).starts_with("SDLAudio"))
            return true;
    }
    return false;
}

// The first cue after the device closed for silence: the cue is handed to the
// player's thread, which opens the device and plays it.
void BM_CueAfterSilence(benchmark::State& state) {
    try {
        TSoundPlayer player(std::chrono::milliseconds(1));
        player.OpenDevice();
        for (auto _ : state) {
            state.PauseTiming();
            while (DeviceOpen())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            state.ResumeTiming();
            player.PlayCue(2);
        }
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_CueAfterSilence)
    ->Iterations(50)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // Silent by default; SDL_AUDIODRIVER picks a real driver when wanted.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        const TCueDir cues;
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
