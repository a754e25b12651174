#pragma once

#include "game/BoardState.h"
#include "game/MoveEffects.h"
#include "render/SceneMatrices.h"

#include <GL/glu.h>

#include <array>
#include <string>

// What a frame needs from the window it is drawn in.
class TFrameHost : public TMoveEffects {
public:
    // The puzzle was solved in this frame: ask for the player's name (modally).
    virtual void BeginNameEntry() = 0;
    // Shows an error without ending the frame.
    virtual void ReportError(const std::string& text) = 0;
    virtual void SwapBuffers() = 0;
};

// Ring colour before GL clamps it (red exceeds 1 for every ring).
std::array<float, 3> RingColour(int level);

// How far above its peg's foot a carried ring hovers, along the peg's z:
// the frame moves the carried ring this far from the selected peg's matrix.
float CarriedOffset(int ring, int level);

// Draws peg p from PegMatrix[p]: rod, cap, plate rim and plate face.
void DrawPeg(int p, const TBoardState& board, const TSceneMatrices& matrices, GLUquadric* quadric);

// One frame: pegs, then ring by ring the move rules and the ring, then the
// end-of-frame rules and the buffer swap. An error from a ring's cue ends the
// frame at that ring: the board changes so far stand and the ring's matrix
// follows them (placed on its peg, or hovering), the remaining rings are not
// drawn and nothing is swapped; the error is rethrown with the camera matrix
// current again, so the next frame starts from the camera. The solved cue is
// the exception: its error goes to ReportError, and the name entry and the
// swap still follow.
void DrawFrame(TBoardState& board, TSceneMatrices& matrices, GLUquadric* quadric, TFrameHost& host);
