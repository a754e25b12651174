#pragma once

#include <QDialog>
#include <QPoint>

#include <functional>
#include <optional>

// The behaviour every dialog of the game shares: a fixed client size, no
// response to Escape (there is no cancel button anywhere), centred over the
// main window the first time and reopened where it was left, and closing by
// a button only once that button's handler has finished.
class TFixedDialog : public QDialog {
public:
    TFixedDialog(QWidget* mainWindow, const QString& caption, int clientWidth, int clientHeight);

    // Shows the dialog modally; returns when it is closed. The main window
    // gets the keyboard back afterwards.
    void ShowModal();

    // Marks the dialog for closing: it goes when the running handler returns.
    void Close() { CloseRequested = true; }

    // Runs a button's handler under the error guard, then closes the dialog
    // if the handler asked for it, also when the handler failed.
    void RunHandler(const std::function<void()>& handler);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::optional<QPoint> LastPosition;
    bool CloseRequested = false;
};
