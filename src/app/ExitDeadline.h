#pragma once

#include <chrono>

// Ends the program with this status if it is still running after grace.
// Called once the event loop has ended: the records are saved by then, and
// what is left is tearing down windows, sound and the toolkit, which must not
// keep a player waiting. Qt 6.4's Wayland client can deadlock there (its event
// thread waits in wl_display_read_events while the main thread joins it; seen
// under weston 10, Debian 12, on a busy machine, after the error box that
// ends a game without GL). Says so on the standard error with this line:
inline constexpr const char* ExitDeadlineMessage = "tarvin: ended by the exit deadline\n";
void ArmExitDeadline(int status, std::chrono::milliseconds grace = std::chrono::milliseconds(1000));
