#include "dialogs/FixedSize.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client-core.h>
#endif

namespace {

constexpr Qt::WindowStates Enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;

#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
// Takes back on the Wayland connection itself an enlargement Qt has just
// asked for. Qt 6.4 keeps the fixed size on a maximized configure and
// acknowledges it all the same; weston 10 ends the connection at the next
// commit that does not match, and drops a request to restore that comes
// after the acknowledgement. Sent right behind Qt's request, in the same
// batch, the taking back makes weston drop the pending change itself: it
// never sends the enlarged state. Qt 6.4 would not send it, as it compares
// with the states the compositor last applied.
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
#endif

class TFixedSizeGuard : public QObject {
public:
    explicit TFixedSizeGuard(QWidget* window) : QObject(window), Window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != Window)
            return false;
        if (event->type() == QEvent::WindowStateChange && (Window->windowState() & Enlarged))
            Restore();
        if (event->type() == QEvent::Resize && SizeAfterRestore)
            TakeBackSize();
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        if (event->type() == QEvent::Show)
            WatchRequests();
#endif
        return false;
    }

private:
    // Asked at once, and asked again once the compositor's change has been
    // acknowledged. weston 14 (Debian 13) drops a request that comes while
    // it applies its own change, so only the second reaches it.
    void Restore() {
        SizeAfterRestore = true;
        Window->setWindowState(Window->windowState() & ~Enlarged);
        QTimer::singleShot(0, this, [this] {
            if (QWindow* window = Window->windowHandle())
                window->setWindowStates(window->windowStates() & ~Enlarged);
        });
    }

    // Qt 6.11 brings a window back from full screen one decoration too
    // small: it bounds the decorated size by the window's own fixed size
    // (weston 16). A window cut so after a restore is set right, once. A
    // larger size is left to the restore: the compositor may still hold the
    // enlarged state, and weston ends the connection of a maximized window
    // that commits another size.
    void TakeBackSize() {
        const QSize fixed = Window->minimumSize();
        const QSize size = Window->size();
        if ((Window->windowState() & Enlarged) || fixed != Window->maximumSize() ||
            size.width() > fixed.width() || size.height() > fixed.height())
            return;
        SizeAfterRestore = false;
        if (size != fixed)
            Window->resize(fixed);
    }

    bool SizeAfterRestore = false;

#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    // The title bar Qt draws asks through its window's states: the signal
    // comes right after the request is queued, before anything is sent.
    void WatchRequests() {
        QWindow* window = Window->windowHandle();
        if (!window || window == Watched)
            return;
        Watched = window;
        connect(window, &QWindow::windowStateChanged, this, [window](Qt::WindowState state) {
            if (!(state & Enlarged))
                return;
            WithdrawEnlargement(window);
            window->setWindowStates(window->windowStates() & ~Enlarged);
        });
    }

    QWindow* Watched = nullptr;
#endif

    QWidget* Window;
};

} // namespace

void KeepFixedSize(QWidget* window) {
    window->installEventFilter(new TFixedSizeGuard(window));
}
