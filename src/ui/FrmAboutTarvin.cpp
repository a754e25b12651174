#include "ui/FrmAboutTarvin.h"

#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>

TFrmAboutTarvin::TFrmAboutTarvin(QWidget* mainWindow)
    : TFixedDialog(mainWindow, QStringLiteral("Об игре"), 280, 318) {
    QPalette navy = palette();
    navy.setColor(QPalette::WindowText, Qt::darkBlue);
    navy.setColor(QPalette::Text, Qt::darkBlue);
    navy.setColor(QPalette::ButtonText, Qt::darkBlue);
    setPalette(navy);

    Label1 = new QLabel(QStringLiteral("Игра \"Тарвин\""), this);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setGeometry(0, 8, 280, 18);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(10, 30, 261, 271);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette face = Memo1->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    Memo1->setPalette(face);
    Memo1->setPlainText(AboutLines().join(QLatin1Char('\n')));
    // A screen reader tells the dialog with its text: the memo never takes
    // the focus, so it would not be read otherwise.
    setAccessibleDescription(AboutLines().join(QLatin1Char(' ')).simplified());

    Button1 = new QPushButton(QStringLiteral("Выход"), this);
    Button1->setGeometry(200, 290, 71, 21);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this,
            [this] { RunHandler([this] { Button1Click(); }); });
}

QStringList TFrmAboutTarvin::AboutLines() {
    return {
        QStringLiteral("   Цель игры: переложить все кольца с "),
        QStringLiteral("первого стержня на третий или, если вам "),
        QStringLiteral("так больше нравится, на второй."),
        QString(),
        QStringLiteral("   Ограничения:"),
        QStringLiteral("   Перекладывать можно, только кольцо с "),
        QStringLiteral("меньшим диаметром на кольцо с большим "),
        QStringLiteral("диаметром. Вот и вся хитрость. Дерзайте."),
        QString(),
        QStringLiteral("   Особое спасибо!"),
        QStringLiteral("   Всем, кто терпеливо проверял игру "),
        QStringLiteral("и помогал добрым советом."),
        QString(),
        QStringLiteral("   Игра написана с использованием "),
        QStringLiteral("библиотек OpenGL32 и glu32  "),
        QString(),
        QString(),
        QStringLiteral("                              Автор игры"),
        QString(),
        QStringLiteral("                              Декабрь 2026"),
    };
}

void TFrmAboutTarvin::Button1Click() {
    Close();
}

void TFrmAboutTarvin::showEvent(QShowEvent* event) {
    Button1->setFocus();
    TFixedDialog::showEvent(event);
}
