#include "dialogs/FixedSize.h"

#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <optional>
#include <utility>

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
// with the states the compositor last applied. Can go with Qt 6.4.
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
        if (watched == Window && event->type() == QEvent::Show)
            Watch(Window->windowHandle());
        if (watched == Window && event->type() == QEvent::Resize && SizeAfterRestore)
            TakeBackSize();
        // The states the window system applied come as a spontaneous event,
        // right after the signal they raised; requests raise only the signal.
        if (watched == Watched.data() && event->type() == QEvent::WindowStateChange &&
            event->spontaneous()) {
            const bool signalled = std::exchange(Signalled, false);
            if ((signalled && !std::exchange(Requested, false)) ||
                (Watched->windowStates() & Enlarged))
                ++AppliedEnlargements;
            else
                Released();
        }
        return false;
    }

private:
    void Watch(QWindow* window) {
        if (!window || window == Watched)
            return;
        Watched = window;
        window->installEventFilter(this);
        connect(window, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
            if (!(state & Enlarged) || Given)
                return;
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
            // Qt 6.8 and 6.11 send the event of a state the compositor
            // applied right after its signal, and by then the restore asked
            // for in answer has put the window's own state back: the event
            // counts as applied until the event loop runs again. A signal
            // with no event after it was a request; the compositor carrying
            // it out (weston 14) is not imposing a size. Qt 6.4 keeps the
            // applied state.
            Requested = Requested || Signalled;
            Signalled = true;
            QTimer::singleShot(0, this, [this] {
                if (std::exchange(Signalled, false))
                    Requested = true;
            });
#endif
            // An enlargement the compositor applied again after it was asked
            // to restore is one it imposes.
            if (AppliedEnlargements > 0)
                Give();
            else
                Restore();
        });
    }

    // Asked at once, and asked again once the compositor's change has been
    // acknowledged: weston 14 (Debian 13) drops a request that comes while
    // it applies its own change. The second is only sent while nothing the
    // compositor applied says it imposes the size.
    void Restore() {
        SizeAfterRestore = true;
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        WithdrawEnlargement(Watched);
#endif
        Watched->setWindowStates(Watched->windowStates() & ~Enlarged);
        QTimer::singleShot(0, this, [this] {
            if (Watched && !Given && AppliedEnlargements == 0)
                Watched->setWindowStates(Watched->windowStates() & ~Enlarged);
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

    // Takes the size the compositor gives: the whole screen, or what its
    // panels leave of it.
    void Give() {
        Given = true;
        Layout =
            Window->layout() ? std::optional(Window->layout()->sizeConstraint()) : std::nullopt;
        FixedSize = Window->size();
        if (QLayout* layout = Window->layout())
            layout->setSizeConstraint(QLayout::SetMinimumSize);
        Window->setMinimumSize(FixedSize);
        Window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (QScreen* screen = Watched->screen()) {
            const bool full = Watched->windowStates() & Qt::WindowFullScreen;
            const QMargins frame = Watched->frameMargins();
            const QSize area =
                full ? screen->geometry().size() : screen->availableGeometry().size();
            Window->resize(area.shrunkBy(frame).expandedTo(FixedSize));
        }
    }

    // The compositor let the window go back to normal: fixed again.
    void Released() {
        AppliedEnlargements = 0;
        if (!Given)
            return;
        Given = false;
        if (Layout)
            Window->layout()->setSizeConstraint(*Layout);
        Window->setFixedSize(FixedSize);
    }

    QWidget* Window;
    QPointer<QWindow> Watched;
    int AppliedEnlargements = 0;
    bool Given = false;
    bool Signalled = false; // an enlargement was signalled, its event not seen yet
    bool Requested = false; // an enlargement was asked for, not yet carried out
    bool SizeAfterRestore = false;
    QSize FixedSize;
    std::optional<QLayout::SizeConstraint> Layout;
};

} // namespace

void KeepFixedSize(QWidget* window) {
    window->installEventFilter(new TFixedSizeGuard(window));
}
