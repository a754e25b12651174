#pragma once

#include "files/GameFiles.h" // CueFileNames

// The game's sound cues, numbered as their files "Dizo1.wav" .. "Dizo5.wav".
enum TSoundCue : int {
    CueLifted = 1,    // a ring is lifted
    CueSelection = 2, // the selection moved
    CuePlaced = 3,    // a ring is put down
    CueRefused = 4,   // a put-down was refused
    CueSolved = 5,    // the puzzle is solved
};

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
