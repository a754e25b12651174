// How late a cue is heard: from PlayCue to its first samples coming back
// through the sound server's monitor of the default sink (read by parec),
// for the first cue after the device closed for silence and for a cue while
// it is open. Both go through the same server buffers, so their difference
// is what the closed device costs. Needs a PulseAudio server (or PipeWire's)
// and SDL_AUDIODRIVER=pulseaudio, as tools/measure-idle.sh pulse sets up.
// Usage: cue_latency_probe [rounds, default 10]

#include "sound/SoundPlayer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// When the monitor last carried sound, and when it first did since reset.
std::atomic<TClock::rep> LastSound{0};
std::atomic<TClock::rep> FirstSound{0};
std::atomic<bool> Listening{false};

// Reads the server's monitor of the default sink as parec hands it over,
// with the smallest latency it allows, and notes when sound arrives. SDL's
// own capture falls further behind with every second it records.
void Listen(std::FILE* monitor) {
    std::vector<std::int16_t> block(64);
    while (std::fread(block.data(), 2, block.size(), monitor) == block.size()) {
        Listening = true;
        const bool sound = std::any_of(block.begin(), block.end(),
                                       [](std::int16_t s) { return s > 300 || s < -300; });
        if (!sound)
            continue;
        const TClock::rep now = TClock::now().time_since_epoch().count();
        LastSound = now;
        TClock::rep none = 0;
        FirstSound.compare_exchange_strong(none, now);
    }
}

// Plays the cue and waits to hear it; milliseconds, or -1 when never heard.
double HeardAfter(TSoundPlayer& player, int cue) {
    // The monitor quiet for 200 ms first, so that nothing older is taken.
    while (TClock::now().time_since_epoch().count() - LastSound.load() <
           TClock::duration(200ms).count())
        std::this_thread::sleep_for(10ms);
    FirstSound = 0;
    const auto asked = TClock::now();
    player.PlayCue(cue);
    while (FirstSound.load() == 0) {
        if (TClock::now() - asked > 2s)
            return -1;
        std::this_thread::sleep_for(1ms);
    }
    return std::chrono::duration<double, std::milli>(TClock::duration(FirstSound.load()) -
                                                     asked.time_since_epoch())
        .count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    std::FILE* monitor = popen("exec parec --raw --format=s16le --channels=1 --latency-msec=1 "
                               "-d @DEFAULT_MONITOR@ 2>/dev/null",
                               "r");
    if (!monitor) {
        std::fprintf(stderr, "cannot start parec\n");
        return 1;
    }
    std::thread listener(Listen, monitor);
    listener.detach(); // reads until the program ends

    std::vector<double> inPlay, afterRest;
    {
        TSoundPlayer player;
        // The first cue of a run, asked for together with the device, as a
        // key right after the game's first picture: it waits for the player's
        // thread to load SDL and open the device.
        for (int wait = 0; wait < 500 && !Listening; ++wait)
            std::this_thread::sleep_for(10ms);
        player.OpenDevice();
        std::printf("first cue, asked with the device: %.1f ms\n", HeardAfter(player, 1));
        for (int round = 0; round < rounds; ++round) {
            // Long enough for the device to close.
            std::this_thread::sleep_for(TSoundPlayer::DefaultRestAfter + 2s);
            afterRest.push_back(HeardAfter(player, 1));
            inPlay.push_back(HeardAfter(player, 1));
            std::printf("after silence %.1f ms, in play %.1f ms\n", afterRest.back(),
                        inPlay.back());
            std::fflush(stdout);
        }
    }
    std::printf("median: first cue after silence %.1f ms, cue in play %.1f ms, later by %.1f ms\n",
                Median(afterRest), Median(inPlay), Median(afterRest) - Median(inPlay));
    std::fflush(stdout);
    std::_Exit(0); // parec and its reader end with the program
}
