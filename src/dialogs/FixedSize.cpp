#include "dialogs/FixedSize.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

class TFixedSizeGuard : public QObject {
public:
    explicit TFixedSizeGuard(QWidget* window) : QObject(window), Window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == Window && event->type() == QEvent::WindowStateChange &&
            (Window->windowState() & Enlarged))
            Restore();
        return false;
    }

private:
    // Asked at once, and asked again once the compositor's change has been
    // acknowledged. weston 10 (Debian 12) needs the first: Qt 6.4 keeps the
    // fixed size, and a window that stays maximized at another size than the
    // compositor's is a protocol error that ends the game. weston 14
    // (Debian 13) drops a request that comes while it applies its own
    // change, so only the second reaches it.
    void Restore() {
        Window->setWindowState(Window->windowState() & ~Enlarged);
        QTimer::singleShot(0, this, [this] {
            if (QWindow* window = Window->windowHandle())
                window->setWindowStates(window->windowStates() & ~Enlarged);
        });
    }

    static constexpr Qt::WindowStates Enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;
    QWidget* Window;
};

} // namespace

void KeepFixedSize(QWidget* window) {
    window->installEventFilter(new TFixedSizeGuard(window));
}
