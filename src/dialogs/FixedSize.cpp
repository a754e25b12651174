#include "dialogs/FixedSize.h"

#include "dialogs/FixedSizeQuirks.h"

#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <optional>

namespace {

constexpr Qt::WindowStates Enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;

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
            if (Signals.AppliedUnasked() || (Watched->windowStates() & Enlarged))
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
            Signals.Signalled(this);
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
        WithdrawEnlargement(Watched);
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
    TEnlargementSignals Signals;
    bool SizeAfterRestore = false;
    QSize FixedSize;
    std::optional<QLayout::SizeConstraint> Layout;
};

} // namespace

void KeepFixedSize(QWidget* window) {
    window->installEventFilter(new TFixedSizeGuard(window));
}
