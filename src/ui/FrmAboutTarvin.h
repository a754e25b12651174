#pragma once

#include "dialogs/FixedDialog.h"

#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The about box: what the game is about and who is thanked.
class TFrmAboutTarvin : public TFixedDialog {
public:
    explicit TFrmAboutTarvin(QWidget* mainWindow);

    // The twenty lines of the text, in order.
    static QStringList AboutLines();

    void Button1Click();

    QLabel* Label1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
