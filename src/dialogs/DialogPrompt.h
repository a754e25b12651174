#pragma once

class QString;
class QWidget;

// Lets a screen reader say a dialog's prompt or message as the dialog opens,
// for those that say the dialog but not its focused field, or an alert
// without its text.
void SayPromptWithDialog(QWidget* dialog, const QString& prompt);
