#include "support/ModalDriver.h"

#include <QApplication>
#include <QPointer>

void TModalDriver::Poll() {
    if (Done())
        return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || !Steps[Next].Matches(modal))
        return;
    // Run the step from an event of its own: it may open a nested modal
    // loop, and this timer does not fire again while its own slot runs.
    const TStep act = Steps[Next].Act;
    ++Next;
    QPointer<QWidget> target = modal;
    QTimer::singleShot(0, this, [act, target] {
        if (target)
            act(target);
    });
}
