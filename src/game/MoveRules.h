#pragma once

#include "game/BoardState.h"
#include "game/MoveEffects.h"

// The rules run inside a frame, ring by ring: a key only changes the intent,
// the next frame turns it into a move. All of them act on the selected peg.

// Ring i is picked up when the player wants to pick up and it is the top of the selected peg.
bool TryLift(TBoardState& board, int i, TMoveEffects& effects);

// Whether ring i would be put down on the selected peg now; the frame needs
// this before TryPlace changes the counts, to compute the placed transform.
bool CanPlace(const TBoardState& board, int i);

// Ring i is put down when the player wants to put it down and it fits.
bool TryPlace(TBoardState& board, int i, TMoveEffects& effects);

// A put-down onto a smaller ring is refused and the intent falls back to picking up.
bool CheckRefusal(TBoardState& board, int i, TMoveEffects& effects);

// Picking up from an empty peg is impossible: the intent falls back to putting down.
bool ForcePutMode(TBoardState& board);

// All five rings stand on peg 1 or all five on peg 2; back on peg 0 is no solution.
bool IsSolvedPosition(const TBoardState& board);

// A solved position while the game is on: stops the clock and the keys, then
// plays the solved cue. True when this frame solved the puzzle. The game is
// stopped before the cue, so a failing cue cannot leave the test armed; the
// caller still owes the player the name entry when the cue throws.
bool CheckSolved(TBoardState& board, TMoveEffects& effects);
