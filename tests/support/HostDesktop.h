#pragma once

#include <QImage>
#include <QPoint>
#include <QStringList>

#include <optional>

// The desktop a test runs on, seen and driven through the X server that
// hosts it (a nested compositor's, or the X server itself), as a player's
// screen and devices see and drive it.

// The whole screen of that X server.
QImage HostScreen();

// The screen once it stopped changing (an opening or closing animation
// ended), or as it is after a few seconds.
QImage SettledHostScreen();

// Runs xdotool with these arguments. The game's event loop runs on
// meanwhile, as it does while a player types: blocked, it would not answer
// the compositor.
void HostInput(const QStringList& args);

// Where picture stands whole on screen, each colour channel within
// tolerance, for all but a few pixels (a pointer drawn over it).
std::optional<QPoint> FindPicture(const QImage& screen, const QImage& picture, int tolerance = 24);
