#include "records/FrmNameTarvin.h"

#include "records/FrmTable.h"
#include "records/RecordsFile.h"

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

// What of a typed or pasted piece may go into a name: its first line, minus
// control characters and characters the records file cannot hold, cut to room.
QString CleanInsertion(QStringView inserted, qsizetype room) {
    QString kept;
    for (const QChar c : inserted) {
        if (kept.size() >= room || IsLineBreak(c))
            break;
        if (c.category() != QChar::Other_Control && CanStoreInRecords(c))
            kept.append(c);
    }
    return kept;
}
} // namespace

// Filters every edit the player makes, comparing with the text before it.
// QLineEdit applies a validator's rewritten text before it signals anything,
// and routes typing, pasting, dropping and input methods through it.
class TNameValidator : public QValidator {
public:
    explicit TNameValidator(QObject* parent) : QValidator(parent) {}

    // Lets the program's own text through unfiltered and uncut.
    void ExpectText(const QString& text) { Before = text; }

    State validate(QString& input, int& pos) const override {
        if (input == Before)
            return Acceptable;
        // The cursor ends up behind the inserted piece; what follows it was
        // there before. Without a usable cursor fall back to a plain diff.
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

TFrmNameTarvin::TFrmNameTarvin(QWidget* mainWindow, TFrmTable& recordsWindow)
    : TFixedDialog(mainWindow, QStringLiteral("Тарвин"), 280, 109),
      Label1(new QLabel(QStringLiteral("Введите свое имя:"), this)), Edit1(new QLineEdit(this)),
      Button1(new QPushButton(QStringLiteral("Ok"), this)), RecordsWindow(recordsWindow),
      Validator(new TNameValidator(this)) {
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(10, 10);
    Label1->adjustSize();

    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(10, 40, 261, 21);
    Edit1->setValidator(Validator);

    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(200, 80, 71, 21);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this,
            [this] { RunHandler([this] { Button1Click(); }); });
}

void TFrmNameTarvin::BeginNameEntry(const std::string& solvedTime) {
    SolvedTime = QString::fromStdString(solvedTime);
    const QString suggested = QStringLiteral("Игрок");
    Validator->ExpectText(suggested);
    Edit1->setText(suggested);
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
