// The prompt goes into the dialog's description where Qt 6.8 and later run
// (checked December 2026): Orca 48 (Debian 13) says a dialog as it opens but
// not its focused field, and Orca 51 (Debian testing) reads an alert's text
// only from its description. Orca 43 with Qt 6.4 (Debian 12) reads both from
// the dialog's labels, and would say them twice. The version switch goes
// once Debian 12 is no longer supported.
#include "dialogs/DialogPrompt.h"

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
