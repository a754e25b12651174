#pragma once

class QString;
class QWidget;

// Lets a screen reader say a dialog's prompt as the dialog opens, for those
// that say the dialog but not its focused field.
void SayPromptWithDialog(QWidget* dialog, const QString& prompt);
