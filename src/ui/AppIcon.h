#pragma once

#include <QIcon>

// The game's 16 x 16 icon: red letters g and L on black.
QIcon AppIcon();
