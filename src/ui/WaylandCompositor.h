#pragma once

// Whether the Wayland compositor the game talks to offers sub-surfaces, on
// which the scene is drawn. Asked on a connection of its own, since Qt does
// not share its own; true when that cannot be asked (a socket handed over
// by the compositor can only be used once).
bool CompositorOffersSubsurfaces();
