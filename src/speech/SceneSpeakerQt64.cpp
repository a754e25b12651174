// How the scene speaker reaches a screen reader with Qt before 6.8 (Qt 6.4 on
// Debian 12, Orca 43; checked December 2026). Qt 6.4 has no announcements and
// its name changes carry no text, so Orca 43 speaks only focus: each
// utterance becomes the name of a new object for the selected peg, focused.
// This file goes, with its branch in CMakeLists.txt, once Debian 12 is no
// longer supported.
#include "speech/SceneSpeaker.h"
#include "speech/SpeakerHelpers.h"

#include <utility>

void TSceneSpeaker::Say(const TFrameSpeech& speech, int peg) {
    const std::string text = speech.Joined();
    if (text.empty()) {
        Messages.fill(QString());
        SendNameChanges();
        return;
    }
    ReplacePeg(peg, FromUtf8(text));
    SendNameChanges();
    FocusPeg(peg);
}

void TSceneSpeaker::FocusSelectedPeg() {
    ReplacePeg(Board.SelectedPeg, FromUtf8(PegSpeech(Board, Board.SelectedPeg)));
    SendNameChanges();
    FocusPeg(Board.SelectedPeg);
}

int TSceneSpeaker::FocusDelay(int) {
    return 0; // Orca 43 speaks every new peg object it is focused on
}

void TSceneSpeaker::ReplacePeg(int peg, const QString& message) {
    // The old object goes at once: Orca 43 takes a new focus for the old one
    // when both answer with the same role, name and place, and says nothing.
    // Gone, the old one answers nothing and the new one is spoken.
    if (PegIds[peg]) {
        Notify(Peg(peg), QAccessible::ObjectDestroyed);
        QAccessible::deleteAccessibleInterface(std::exchange(PegIds[peg], 0));
    }
    Messages.fill(QString());
    Messages[peg] = message;
    SentNames[peg] = message; // a new object: its name needs no change event
    Notify(Peg(peg), QAccessible::ObjectCreated);
}
