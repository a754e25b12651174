#pragma once

// What the move rules need from the rest of the program: sound cues and the
// game timer. The main window provides them; tests record them.
class TMoveEffects {
public:
    virtual ~TMoveEffects() = default;
    // Cues 1 to 5; may throw when the cue cannot be played.
    virtual void PlayCue(int cue) = 0;
    // Stops the game clock.
    virtual void DisableGameTimer() = 0;
};
