#include "dialogs/LineEditAccessible.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>

namespace {
// What Qt's own object for a text field tells, through the field's public
// interface (Qt's own class is not exported, so it cannot be extended).
class TLineEditAccessible : public QAccessibleWidget,
                            public QAccessibleTextInterface,
                            public QAccessibleEditableTextInterface {
public:
    explicit TLineEditAccessible(QLineEdit* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? Edit()->text() : QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t == QAccessible::Value && !Edit()->isReadOnly())
            Edit()->setText(text);
        else
            QAccessibleWidget::setText(t, text);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = Edit()->isReadOnly();
        state.editable = !state.readOnly;
        state.passwordEdit = Edit()->echoMode() != QLineEdit::Normal;
        state.selectableText = true;
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // The text.
    QString text(int startOffset, int endOffset) const override {
        return Edit()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Edit()->text().size()); }
    // One run without attributes over the whole text. Qt's runs are empty,
    // and Orca 43, joining them to find the text's language, dropped the last
    // character: the preset name was read as «Игро».
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                         int* endOffset) const override {
        offset = Offset(offset);
        if (offset == characterCount() &&
            (type == QAccessible::WordBoundary || type == QAccessible::SentenceBoundary)) {
            *startOffset = *endOffset = -1; // nothing follows the end, as Qt 6.11 answers
            return {};
        }
        return QAccessibleTextInterface::textAtOffset(offset, type, startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                             int* endOffset) const override {
        return QAccessibleTextInterface::textBeforeOffset(Offset(offset), type, startOffset,
                                                          endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                            int* endOffset) const override {
        return QAccessibleTextInterface::textAfterOffset(Offset(offset), type, startOffset,
                                                         endOffset);
    }

    // The cursor and the selection.
    int cursorPosition() const override { return Edit()->cursorPosition(); }
    void setCursorPosition(int position) override { Edit()->setCursorPosition(position); }
    int selectionCount() const override { return Edit()->hasSelectedText() ? 1 : 0; }
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && Edit()->hasSelectedText()) {
            *startOffset = Edit()->selectionStart();
            *endOffset = Edit()->selectionEnd();
        }
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override {
        if (selectionIndex == 0)
            Edit()->deselect();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override {
        if (selectionIndex == 0)
            Edit()->setSelection(startOffset, endOffset - startOffset);
    }

    // Where the characters are: a name fits the field, so nothing is scrolled.
    QRect characterRect(int offset) const override {
        const QFontMetrics metrics(Edit()->font());
        const QString text = Edit()->text();
        const QRect contents = Edit()->contentsRect().marginsRemoved(Edit()->textMargins());
        const int x = contents.x() + 2 + metrics.horizontalAdvance(text.left(offset));
        const int y = contents.y() + (contents.height() - metrics.height()) / 2;
        const QRect rect(x, y, metrics.horizontalAdvance(text.mid(offset, 1)), metrics.height());
        return QRect(Edit()->mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Edit()->cursorPositionAt(Edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int startIndex, int endIndex) override {
        Edit()->setCursorPosition(endIndex);
        Edit()->setCursorPosition(startIndex);
    }

    // Edits go through the field, and so through its validator.
    void deleteText(int startOffset, int endOffset) override {
        replaceText(startOffset, endOffset, {});
    }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString& text) override {
        if (Edit()->isReadOnly())
            return;
        Edit()->setSelection(startOffset, endOffset - startOffset);
        Edit()->insert(text);
    }

private:
    QLineEdit* Edit() const { return static_cast<QLineEdit*>(widget()); }
    // -2 stands for the cursor, -1 for the end.
    int Offset(int offset) const {
        return offset == -2 ? cursorPosition() : offset == -1 ? characterCount() : offset;
    }
};

QAccessibleInterface* LineEditFactory(const QString& className, QObject* object) {
    // Qt's accessibility cache owns what a factory makes.
    if (className == QLatin1String("QLineEdit") && object && object->isWidgetType())
        return new TLineEditAccessible(static_cast<QLineEdit*>(object));
    return nullptr;
}
} // namespace

void InstallLineEditAccessible() {
    static const bool installed = (QAccessible::installFactory(LineEditFactory), true);
    (void)installed;
}
