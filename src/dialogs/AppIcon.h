#pragma once

#include <QIcon>

// The game's 16 x 16 icon: red letters g and L on black.
QIcon AppIcon();

// Names the application, its icon and the desktop entry it was started
// from, so task bars and docks show the installed entry's name and icon.
void SetAppIdentity();
