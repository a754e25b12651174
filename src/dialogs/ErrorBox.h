#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <string>

// Caption of every error box.
inline const QString ErrorBoxCaption = QStringLiteral("Логическая игра \"Тарвин\"");

// The error's text with a full stop added when it ends in a character whose
// code is above that of '.' (so not after '.', '!', ')' or a space).
QString ErrorBoxText(const QString& text);

// Shows the error box: critical icon, one OK button, ErrorBoxCaption as
// caption, modal to the whole application. Focus goes back afterwards to the
// window that had it.
void ShowErrorBox(const QString& text);

// Replaces what ShowErrorBox does (tests watch errors without a modal box);
// returns the previous handler. An empty handler restores the message box.
using TErrorSink = std::function<void(const QString& text)>;
TErrorSink SetErrorSink(TErrorSink sink);

// Every entry point from the toolkit runs through here: an error abandons the
// rest of the handler, is shown, and the program carries on.
template <class F> void Guarded(F&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
}
