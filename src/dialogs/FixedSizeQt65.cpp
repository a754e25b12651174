// The fixed-size guard with Qt 6.5 and later (Qt 6.8 on Debian 13, Qt 6.11
// on Debian testing; checked under weston 14 and 16, December 2026). Once
// Debian 12 is no longer supported, this is the only unit, and the guard
// can take it in.
#include "dialogs/FixedSizeQuirks.h"

#include <QObject>
#include <QTimer>

#include <utility>

// Qt asks for nothing it cannot keep.
void WithdrawEnlargement(QWindow*) {}

// Qt 6.8 and 6.11 send the event of a state the compositor applied right
// after its signal, and by then the restore asked for in answer has put the
// window's own state back: the event counts as applied until the event loop
// runs again. A signal with no event after it was a request; the compositor
// carrying it out (weston 14) is not imposing a size.
void TEnlargementSignals::Signalled(QObject* context) {
    Requested = Requested || WasSignalled;
    WasSignalled = true;
    QTimer::singleShot(0, context, [this] {
        if (std::exchange(WasSignalled, false))
            Requested = true;
    });
}

bool TEnlargementSignals::AppliedUnasked() {
    return std::exchange(WasSignalled, false) && !std::exchange(Requested, false);
}
