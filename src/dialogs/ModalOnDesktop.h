#pragma once

class QDialog;
class QWidget;

// What a desktop needs to place a modal dialog over its window and give it
// the keyboard.

// Shows the dialog modally and returns when it is closed. On Wayland it is
// the transient child of its parent window, as Qt makes it; where the
// compositor has GNOME's shell protocol (mutter), it is also marked modal
// there, so mutter places it over the parent as a dialog instead of beside
// it as a window of its own (mutter 43 knows no other way to be told).
void ShowModalOverOwner(QDialog& dialog);

// Waits, for at most 0.3 s, until the window system has handed the
// keyboard back to window: a menu just closed. A dialog opened before that
// asks for its activation on behalf of the menu's popup, which is gone by
// the time the compositor checks, and GNOME refuses it with a «… is ready»
// banner. On Wayland the wait ends with a round trip, so the compositor has
// also dealt with every request Qt sent while the menu closed.
void AwaitKeyboardBack(QWidget* window);

// Asks for the keyboard for window, once a dialog over it has closed. On
// Wayland, Qt (6.4 to 6.11) asks the compositor for the activation on behalf
// of the window that has the focus, and crashes where that window has no
// platform window left, as under kwin just after a dialog closed; the
// request then waits, 20 ms at a time, for at most half a second, and is
// dropped after that rather than crash the game.
void ActivateAgain(QWidget* window);
