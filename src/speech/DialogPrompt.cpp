// Orca 48 (Debian 13, with Qt 6.8; checked December 2026) says a dialog as
// it opens but not its focused field, so the prompt goes into the dialog's
// description. Orca 43 with Qt 6.4 (Debian 12) reads the field by the label
// it is the buddy of, and would say the prompt twice. The version switch
// goes once Debian 12 is no longer supported.
#include "speech/DialogPrompt.h"

#include <QString>
#include <QWidget>

void SayPromptWithDialog(QWidget* dialog, const QString& prompt) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    dialog->setAccessibleDescription(prompt);
#else
    (void)dialog;
    (void)prompt;
#endif
}
