#include "dialogs/ErrorBox.h"

#include "dialogs/FixedSize.h"
#include "dialogs/ModalOnDesktop.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace {
TErrorSink& Sink() {
    static TErrorSink sink;
    return sink;
}
} // namespace

QString ErrorBoxText(const QString& text) {
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + QLatin1Char('.');
    return text;
}

TErrorSink SetErrorSink(TErrorSink sink) {
    TErrorSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

void ShowErrorBox(const QString& text) {
    const QString shown = ErrorBoxText(text);
    if (Sink()) {
        Sink()(shown);
        return;
    }
    QPointer<QWidget> active = QApplication::activeWindow();
    // Owned by a window of the game, so compositors place it over that window.
    QWidget* owner = active;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (!owner && window->isVisible() && window->windowType() == Qt::Window)
            owner = window;
    QMessageBox box(QMessageBox::Critical, ErrorBoxCaption, shown, QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    KeepFixedSize(&box);
    ShowModalOverOwner(box);
    ActivateAgain(active); // a bare X server hands the focus to nobody by itself
}
