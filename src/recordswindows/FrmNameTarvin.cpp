#include "recordswindows/FrmNameTarvin.h"

#include "dialogs/DialogPrompt.h"
#include "dialogs/LineEditAccessible.h"
#include "recordsformat/RecordsFormat.h"
#include "recordswindows/FrmTable.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include <algorithm>
#include <utility>

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

// What of an inserted piece may go into a name: its first line that holds
// anything, without control characters and characters the records file
// cannot hold, cut to the room left. Cleaning comes before cutting, so
// tabs and line ends pasted ahead of a name do not push the name out.
QString CleanInsertion(QStringView inserted, qsizetype room) {
    QString kept;
    for (const QChar c : inserted) {
        if (kept.size() >= room || (IsLineBreak(c) && !kept.isEmpty()))
            break;
        if (!IsLineBreak(c) && !IsRefused(c))
            kept.append(c);
    }
    return kept;
}

// Filters every edit against the text before it: the edit box hands it the
// whole new text with the cursor behind the inserted piece, for typing,
// pasting, dropping and input methods alike. The box has no length limit of
// its own, which would cut a piece before its refused characters are gone.
class TNameValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override {
        // What follows the cursor was there before; without a usable cursor
        // the common tail is found by comparing.
        qsizetype suffix = input.size() - pos;
        if (pos < 0 || suffix < 0 || suffix > Before.size() ||
            QStringView(input).right(suffix) != QStringView(Before).right(suffix)) {
            suffix = 0;
            const qsizetype most = std::min(input.size(), Before.size());
            while (suffix < most &&
                   input[input.size() - 1 - suffix] == Before[Before.size() - 1 - suffix])
                ++suffix;
        }
        const qsizetype prefixLimit = std::min(input.size(), Before.size()) - suffix;
        qsizetype prefix = 0;
        while (prefix < prefixLimit && input[prefix] == Before[prefix])
            ++prefix;

        const QStringView inserted = QStringView(input).mid(prefix, input.size() - suffix - prefix);
        const qsizetype room =
            std::max<qsizetype>(0, TFrmNameTarvin::MaxNameLength - prefix - suffix);
        const QString kept = CleanInsertion(inserted, room);
        if (kept != inserted) {
            input = input.left(prefix) + kept + input.right(suffix);
            pos = static_cast<int>(prefix + kept.size());
        }
        Before = input;
        return Acceptable;
    }

private:
    mutable QString Before;
};
} // namespace

TFrmNameTarvin::TFrmNameTarvin(QWidget* mainWindow, TFrmTable& recordsWindow)
    : TFixedDialog(mainWindow, QStringLiteral("Тарвин"), 280, 109),
      Label1(new QLabel(QStringLiteral("Введите свое имя:"), this)), Edit1(new QLineEdit(this)),
      Button1(new QPushButton(QStringLiteral("Ok"), this)), RecordsWindow(recordsWindow) {
    InstallLineEditAccessible();
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(10, 10);
    Label1->adjustSize();

    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(10, 40, 261, 21);
    Edit1->setValidator(new TNameValidator(Edit1));
    Label1->setBuddy(Edit1); // a screen reader names the field by its prompt
    SayPromptWithDialog(this, Label1->text());

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
    Asking = true;
    ShowModal();
    // Only an ending game ends the dialog's loop with the dialog still up:
    // Qt 6.11 does so when the display goes, before it exits. The name
    // counts as it stands, as at any other end of the session.
    if (isVisible())
        EndNameEntry();
    Asking = false;
}

void TFrmNameTarvin::Button1Click() {
    // Only marks the dialog: it stays up under the records window until this
    // handler is done.
    Close();
    Asking = false;
    RecordsWindow.AddRecord(Edit1->text(), SolvedTime);
    RecordsWindow.ShowModal();
}

void TFrmNameTarvin::EndNameEntry() {
    if (std::exchange(Asking, false))
        RecordsWindow.AddUnsavedRecord(Edit1->text(), SolvedTime);
}
