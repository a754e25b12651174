// The fixed-size guard with Qt before 6.5 (Qt 6.4 on Debian 12; checked
// under weston 10, cage and phoc, December 2026). This file goes, with its
// branch in CMakeLists.txt, once Debian 12 is no longer supported.
#include "dialogs/FixedSizeQuirks.h"

#include <QGuiApplication>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client-core.h>

#include <cstdint>

// Qt 6.4 keeps the fixed size on a maximized configure and acknowledges it
// all the same; weston 10 ends the connection at the next commit that does
// not match, and drops a request to restore that comes after the
// acknowledgement. Sent right behind Qt's request, in the same batch, the
// taking back makes weston drop the pending change itself: it never sends
// the enlarged state. Qt 6.4 would not send it, as it compares with the
// states the compositor last applied.
void WithdrawEnlargement(QWindow* window) {
    if (QGuiApplication::platformName() != QLatin1String("wayland"))
        return;
    auto* toplevel =
        static_cast<wl_proxy*>(QGuiApplication::platformNativeInterface()->nativeResourceForWindow(
            "xdg_toplevel", window));
    if (!toplevel)
        return;
    // Request numbers of xdg_toplevel in the xdg-shell protocol.
    constexpr uint32_t UnsetMaximized = 10, UnsetFullscreen = 12;
    for (const uint32_t request : {UnsetMaximized, UnsetFullscreen})
        wl_proxy_marshal_flags(toplevel, request, nullptr, wl_proxy_get_version(toplevel), 0);
}

// Qt 6.4 keeps the state the compositor applied, so the window's own state
// tells it: nothing to track.
void TEnlargementSignals::Signalled(QObject*) {}

bool TEnlargementSignals::AppliedUnasked() {
    return false;
}
