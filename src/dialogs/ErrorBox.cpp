#include "dialogs/ErrorBox.h"

#include "dialogs/DialogPrompt.h"
#include "dialogs/FixedSize.h"
#include "dialogs/ModalOnDesktop.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <memory>

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
    // Kept a while after it closes: Orca 48 checks the way from its button
    // up to the game as the key that closed it is echoed, and with the box
    // gone it keeps the button as its focus, then tells the window the game
    // is back in as if new, key help and all.
    auto* box =
        new QMessageBox(QMessageBox::Critical, ErrorBoxCaption, shown, QMessageBox::Ok, owner);
    const QPointer<QMessageBox> guard = box;
    std::unique_ptr<QMessageBox> unowned(owner ? nullptr : box);
    SayPromptWithDialog(box, shown);
    box->setWindowModality(Qt::ApplicationModal);
    KeepFixedSize(box);
    ShowModalOverOwner(*box);
    if (guard && !unowned)
        QTimer::singleShot(2000, box, &QObject::deleteLater);
    ActivateAgain(active); // a bare X server hands the focus to nobody by itself
}
