#include "app/SessionEnd.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int EndSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The write end of the pipe the signal handler wakes the event loop through.
volatile sig_atomic_t SignalPipe = -1;
TSessionEnd* Active = nullptr;

extern "C" void OnEndSignal(int) {
    const int saved = errno; // only async-signal-safe calls here
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe, &byte, 1);
    errno = saved;
}

} // namespace

TSessionEnd::TSessionEnd(std::function<void()> end, std::function<void()> lastSave)
    : End(std::move(end)), LastSave(std::move(lastSave)), MainThread(std::this_thread::get_id()) {
    static const bool registered = std::atexit(&TSessionEnd::SaveAtExit) == 0;
    if (registered)
        Active = this;
    if (::pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no pipe: the signals keep their default actions
    SignalPipe = Pipe[1];
    Wake.emplace(Pipe[0], QSocketNotifier::Read);
    QObject::connect(&*Wake, &QSocketNotifier::activated, [this] {
        char bytes[16];
        while (::read(Pipe[0], bytes, sizeof bytes) > 0) {
        }
        if (End)
            std::exchange(End, nullptr)(); // a second signal finds the game ending already
    });
    for (const int signal : EndSignals) {
        struct sigaction action {};
        if (::sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN)
            continue;
        action.sa_handler = &OnEndSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

TSessionEnd::~TSessionEnd() {
    Active = nullptr;
    for (const int signal : EndSignals) {
        struct sigaction action {};
        if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler == &OnEndSignal) {
            action.sa_handler = SIG_DFL;
            ::sigaction(signal, &action, nullptr);
        }
    }
    Wake.reset();
    SignalPipe = -1;
    for (const int fd : Pipe)
        if (fd >= 0)
            ::close(fd);
}

void TSessionEnd::SaveAtExit() {
    // Only an exit() from inside the event loop finds an object here: the
    // windows are still there, on the main thread's stack, never destroyed.
    TSessionEnd* const session = std::exchange(Active, nullptr);
    if (session && session->LastSave && std::this_thread::get_id() == session->MainThread)
        session->LastSave();
}
