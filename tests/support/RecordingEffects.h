#pragma once

#include "game/MoveEffects.h"

#include <set>
#include <stdexcept>
#include <vector>

// Records the cues and timer stops the rules ask for; cues listed in
// FailingCues throw as a missing sound file would.
class TRecordingEffects : public TMoveEffects {
public:
    void PlayCue(int cue) override {
        Cues.push_back(cue);
        if (FailingCues.count(cue))
            throw std::runtime_error("cue failed");
    }
    void DisableGameTimer() override { ++TimerStops; }

    std::vector<int> Cues;
    std::set<int> FailingCues;
    int TimerStops = 0;
};
