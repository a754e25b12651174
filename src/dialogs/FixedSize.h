#pragma once

class QWidget;

// Keeps a window of fixed size at that size. Qt tells the window system that
// its minimum and maximum size are equal, and compositors that decorate
// windows themselves then offer no maximize or resize. The title bar that
// Qt draws itself on Wayland (under weston, for one) shows a maximize button
// all the same, and the compositor maximizes on request whatever the size
// limits. With Qt 6.4 the request is taken back before the compositor
// answers it; otherwise a maximized or full-screen window is taken back to
// its normal state, which restores its size.
// Checked with Qt 6.4 and weston 10 (Debian 12), Qt 6.8 and weston 14
// (Debian 13), Qt 6.11 and weston 16 (Debian testing).
void KeepFixedSize(QWidget* window);
