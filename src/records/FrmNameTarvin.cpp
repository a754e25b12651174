#include "records/FrmNameTarvin.h"

#include "records/FrmTable.h"
#include "records/RecordsFormat.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include <algorithm>

namespace {
bool IsLineBreak(QChar c) {
    switch (c.unicode()) {
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
    case u'\u0085':
    case u'\u2028':
    case u'\u2029':
        return true;
    default:
        return false;
    }
}

bool IsRefused(QChar c) {
    return c.category() == QChar::Other_Control || !CanStoreInRecords(c);
}

// Cleans the text after every edit; the edit box has already cut the edit to
// the room left. A name never keeps a line break, so one can only have come
// with the piece just inserted, which ends at the cursor: of that piece only
// the first line stays.
class TNameValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override {
        pos = std::clamp(pos, 0, static_cast<int>(input.size()));
        const auto lineEnd = static_cast<int>(
            std::find_if(input.cbegin(), input.cbegin() + pos, IsLineBreak) - input.cbegin());
        input.remove(lineEnd, pos - lineEnd);
        pos = lineEnd -
              static_cast<int>(std::count_if(input.cbegin(), input.cbegin() + lineEnd, IsRefused));
        input.removeIf(IsRefused);
        return Acceptable;
    }
};
} // namespace

TFrmNameTarvin::TFrmNameTarvin(QWidget* mainWindow, TFrmTable& recordsWindow)
    : TFixedDialog(mainWindow, QStringLiteral("Тарвин"), 280, 109),
      Label1(new QLabel(QStringLiteral("Введите свое имя:"), this)), Edit1(new QLineEdit(this)),
      Button1(new QPushButton(QStringLiteral("Ok"), this)), RecordsWindow(recordsWindow) {
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(10, 10);
    Label1->adjustSize();

    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(10, 40, 261, 21);
    // Cuts what the program sets too; its one preset is far shorter.
    Edit1->setMaxLength(MaxNameLength);
    Edit1->setValidator(new TNameValidator(Edit1));

    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(200, 80, 71, 21);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this,
            [this] { RunHandler([this] { Button1Click(); }); });
}

void TFrmNameTarvin::BeginNameEntry(const std::string& solvedTime) {
    SolvedTime = QString::fromStdString(solvedTime);
    Edit1->setText(QStringLiteral("Игрок"));
    Edit1->selectAll();
    Edit1->setFocus();
    ShowModal();
}

void TFrmNameTarvin::Button1Click() {
    // Only marks the dialog: it stays up under the records window until this
    // handler is done.
    Close();
    RecordsWindow.AddRecord(Edit1->text(), SolvedTime);
    RecordsWindow.ShowModal();
}
