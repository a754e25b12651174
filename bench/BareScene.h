#pragma once

#include <GL/glu.h>

// The game's pegs and rings drawn straight, with nothing of the game around
// them: what the scene costs by bare GL calls. The selected peg is red, as in
// the game. Expects the game's projection and camera to be set.
void DrawBareScene(GLUquadric* quadric, int selectedPeg);

// The game's projection and camera for a viewport of the given size.
void SetUpBareView(int width, int height);
