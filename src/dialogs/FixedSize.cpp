#include "dialogs/FixedSize.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class TFixedSizeGuard : public QObject {
public:
    explicit TFixedSizeGuard(QWidget* window) : QObject(window), Window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == Window && event->type() == QEvent::WindowStateChange)
            Restore();
        return false;
    }

private:
    // Later, once the compositor's change has been acknowledged: a request
    // made while the compositor still applies its own is lost (weston 14).
    void Restore() {
        QTimer::singleShot(0, this, [this] {
            if (Window->windowState() & Enlarged)
                Window->setWindowState(Window->windowState() & ~Enlarged);
        });
    }

    static constexpr Qt::WindowStates Enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;
    QWidget* Window;
};

} // namespace

void KeepFixedSize(QWidget* window) {
    window->installEventFilter(new TFixedSizeGuard(window));
}
