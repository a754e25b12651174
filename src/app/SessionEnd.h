#pragma once

#include <QSocketNotifier>

#include <functional>
#include <optional>
#include <thread>

// The game ended by the session rather than by the player: a logout or a
// kill (SIGTERM, SIGHUP, SIGINT), or a display that went away, which Qt and
// Xlib answer by calling exit() from inside the event loop. Neither may lose
// what the player has not saved yet.
class TSessionEnd {
public:
    // end runs in the event loop once one of the signals has come (the
    // handler itself only wakes the loop); lastSave runs from exit() on the
    // main thread while this object lives, with no display to use. Signals
    // the program was started ignoring (nohup) stay ignored.
    TSessionEnd(std::function<void()> end, std::function<void()> lastSave);
    // Gives the signals their default actions back, and exit() nothing to do.
    ~TSessionEnd();
    TSessionEnd(const TSessionEnd&) = delete;
    TSessionEnd& operator=(const TSessionEnd&) = delete;

private:
    static void SaveAtExit();

    std::function<void()> End;
    std::function<void()> LastSave;
    std::thread::id MainThread;
    int Pipe[2] = {-1, -1};
    std::optional<QSocketNotifier> Wake;
};
