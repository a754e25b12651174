// How the scene speaker reaches a screen reader with Qt 6.8 and later
// (Debian 13, Orca 48; checked December 2026): the pegs keep their objects,
// a new selection moves the focus, everything else is announced. Built
// instead of SceneSpeakerQt64.cpp wherever Qt has announcements.
#include "speech/SceneSpeaker.h"
#include "speech/SpeakerHelpers.h"

#include <QAccessibleAnnouncementEvent>
#include <QEvent>

// The focus moves before the names change, so the peg left behind is not
// spoken; the announcement interrupts the focused peg's new name, which
// Orca 48 would speak too.
void TSceneSpeaker::Say(const TFrameSpeech& speech, int peg) {
    if (!speech.Selection.empty())
        FocusPeg(peg);
    // Orca 48 would speak the focused peg's new name first and queue the
    // announcement behind it: that name is sent once the focus has left.
    SendNameChanges(speech.Action.empty() ? -1 : peg);
    if (!speech.Action.empty()) {
        // Told by the focused peg: Orca drops a second announcement from
        // anything else within a tenth of a second of the first, as a flood.
        QAccessibleAnnouncementEvent event(Peg(peg), FromUtf8(speech.Action));
        event.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
        QAccessible::updateAccessibility(&event);
    }
}

void TSceneSpeaker::FocusSelectedPeg() {
    FocusPeg(Board.SelectedPeg);
}

// Orca 48, as it echoes the key that closed a dialog, takes the focused peg
// for its focus without a word, and then hears the peg's focus event as
// nothing new. Back in the window, the peg is focused only a moment after
// the window came back and that key was let go, once the echo is done, so
// its event is spoken.
int TSceneSpeaker::FocusDelay(int eventType) {
    if (eventType == QEvent::WindowDeactivate)
        AwaitingFocus = true;
    return AwaitingFocus ? 250 : 0;
}
