#pragma once

#include "game/BoardState.h"
#include "speech/BoardSpeech.h"

#include <QAccessible>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

class QTimer;

// What a screen reader is told about the game: the main window is a window
// named after the game, the scene an object named «Игровое поле» with one
// child per peg, and every frame's outcome is spoken. Costs nothing while no
// assistive technology listens: each entry point returns at once then.
class TSceneSpeaker {
public:
    // window and scene belong to the main window, which owns the speaker too.
    TSceneSpeaker(const TBoardState& board, QWidget* window, QWidget* scene);
    ~TSceneSpeaker();
    TSceneSpeaker(const TSceneSpeaker&) = delete;
    TSceneSpeaker& operator=(const TSceneSpeaker&) = delete;

    // Installs the game's accessible interfaces; after QApplication exists,
    // since the factory installed last is asked first.
    static void InstallFactory();

    // Around one frame: what the rules did in it is spoken when it ends (or,
    // for the solved puzzle, before the name entry opens).
    void FrameStarts();
    void FrameEnds();

    // The frame solved the puzzle: what it did is told by the name entry,
    // which opens next, ahead of its prompt.
    void TellSolved(QWidget* nameEntry);

    // The whole board and the clock, on the player's request.
    void SpeakBoard();

    // Used by the accessible interfaces.
    QWidget* Scene() const { return SceneWidget; }
    QString PegName(int peg) const;
    QAccessibleInterface* Peg(int peg) const;
    int PegIndex(const QAccessibleInterface* child) const;
    bool PegFocused(int peg) const;
    // A key was spoken: the player knows the keys.
    bool KeysSpoken() const { return KeysWereSpoken; }

    // Calls FrameEnds when it goes out of scope, even when the frame throws.
    class TSpokenFrame {
    public:
        explicit TSpokenFrame(TSceneSpeaker& speaker) : Speaker(speaker) { Speaker.FrameStarts(); }
        ~TSpokenFrame() { Speaker.FrameEnds(); }
        TSpokenFrame(const TSpokenFrame&) = delete;
        TSpokenFrame& operator=(const TSpokenFrame&) = delete;

    private:
        TSceneSpeaker& Speaker;
    };

private:
    bool Listening() const;
    bool WindowHasKeyboard() const;
    // Each Qt version's way to the screen reader, in a unit of its own
    // (SceneSpeakerQt64.cpp, SceneSpeakerQt68.cpp).
    void Say(const TFrameSpeech& speech, int peg);
    // The window gained the keyboard: the selected peg takes the focus.
    void FocusSelectedPeg();
    // How long after a window focus event the peg takes the focus, in ms.
    int FocusDelay(int eventType);
    // The scene's key help ends once the player's first key was spoken.
    void EndKeyHelp(const TFrameSpeech& speech);
    // Name changes of every peg whose name changed, but held while focused.
    void SendNameChanges(int held = -1);
    void FocusPeg(int peg);
    // Qt before 6.8 only: a new object for the peg, named with the message.
    void ReplacePeg(int peg, const QString& message);
    bool FocusFilter(QObject* watched, QEvent* event);

    const TBoardState& Board;
    QPointer<QWidget> WindowWidget;
    QPointer<QWidget> SceneWidget;
    std::unique_ptr<QObject> Filter;
    static constexpr int MenuItemStart = 100; // ms a menu item may take to open its dialog
    QTimer* FocusTimer = nullptr;             // the peg's focus to come; owned by Filter
    TBoardState Before{};
    bool InFrame = false;
    bool KeysWereSpoken = false;
    bool AwaitingFocus = false; // back in the window, the peg's focus not told yet
    int SpokenPeg = 0;
    mutable std::array<QAccessible::Id, PegCount> PegIds{}; // registered when first asked for
    std::array<QString, PegCount> Messages;
    std::array<QString, PegCount> SentNames;
};
