#pragma once

#include "game/BoardState.h"
#include "render/SceneMatrices.h"

// The global GL state of the scene: black clear colour, lighting with the
// default light 0, colour material and the depth test. Needs a current context.
void InitSceneState();

// Viewport, orthographic projection, camera and every ring's home matrix in
// the starting stack on peg 0. Every ring is sent home, whatever the board says.
void SetUpView(int width, int height, const TBoardState& board, TSceneMatrices& matrices);

// Sends every ring back to its home matrix and leaves the camera current.
void SendRingsHome(TSceneMatrices& matrices);
