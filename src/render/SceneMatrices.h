#pragma once

#include "game/BoardState.h"

#include <array>

// A modelview matrix as GL hands it back: 16 floats, column-major.
using TGLMatrix = std::array<float, 16>;

// Rings are never placed from the board's numbers: each keeps the matrix
// that was current when it was last put somewhere, read back from GL.
struct TSceneMatrices {
    TGLMatrix BaseView{};
    TGLMatrix PegMatrix[PegCount]{};
    TGLMatrix RingCurrent[RingCount]{};
    TGLMatrix RingHome[RingCount]{};
};

// Reads the current modelview matrix back from GL.
void CaptureModelview(TGLMatrix& into);
// Makes a stored matrix the current modelview matrix.
void LoadModelview(const TGLMatrix& matrix);
