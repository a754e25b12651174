#pragma once

class QWidget;

// Keeps a window of fixed size at that size where the desktop lets it, and
// gives in where the desktop does not.
//
// Qt tells the window system that the window's minimum and maximum size are
// equal, and compositors that decorate windows themselves then offer no
// maximize or resize. The title bar that Qt draws itself on Wayland (under
// weston or GNOME) shows a maximize button all the same, and a compositor's
// shortcut may maximize too: such a maximized or full-screen state is taken
// back at once, which restores the size. With Qt 6.4 the request is also
// withdrawn on the Wayland connection before the compositor answers it.
//
// A compositor that imposes a size (a kiosk or phone shell maximizing every
// window, a tiling layout) answers that request with the enlarged state
// again. The window then takes the size it was given, without another
// request; a window with a layout keeps its contents at their size in the
// middle. Once the compositor lets it go back to normal it is fixed again.
// Checked with Qt 6.4 under weston 10, cage and phoc (Debian 12), Qt 6.8
// under weston 14 (Debian 13) and Qt 6.11 under weston 16 (Debian testing).
void KeepFixedSize(QWidget* window);
