#include "dialogs/FixedDialog.h"

#include "dialogs/ErrorBox.h"
#include "dialogs/FixedSize.h"
#include "dialogs/ModalOnDesktop.h"

#include <QKeyEvent>
#include <QPointer>

TFixedDialog::TFixedDialog(QWidget* mainWindow, const QString& caption, int clientWidth,
                           int clientHeight)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(caption);
    setFixedSize(clientWidth, clientHeight);
    KeepFixedSize(this);
}

void TFixedDialog::ShowModal() {
    // Qt centres a dialog over its parent on every show unless it was moved.
    if (LastPosition)
        move(*LastPosition);
    QPointer<QWidget> owner = parentWidget();
    ShowModalOverOwner(*this);
    ActivateAgain(owner);
}

void TFixedDialog::RunHandler(const std::function<void()>& handler) {
    CloseRequested = false;
    Guarded(handler);
    if (CloseRequested) {
        CloseRequested = false;
        accept();
    }
}

void TFixedDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFixedDialog::hideEvent(QHideEvent* event) {
    LastPosition = pos();
    QDialog::hideEvent(event);
}
