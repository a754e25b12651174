#include "speech/SceneSpeaker.h"

#include "speech/SpeakerHelpers.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

namespace {

// The speakers alive, by the widgets they describe, for the factory.
std::map<const QObject*, TSceneSpeaker*>& Speakers() {
    static std::map<const QObject*, TSceneSpeaker*> speakers;
    return speakers;
}

// One peg, a child of the scene without a widget of its own.
class TPegAccessible : public QAccessibleInterface {
public:
    TPegAccessible(const TSceneSpeaker& speaker, int peg) : Speaker(speaker), PegNo(peg) {}

    bool isValid() const override { return Speaker.Scene() != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return Speaker.Scene() ? Speaker.Scene()->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(Speaker.Scene());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? Speaker.PegName(PegNo) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        const QWidget* scene = Speaker.Scene();
        if (!scene)
            return {};
        const int width = scene->width() / PegCount;
        return QRect(scene->mapToGlobal(QPoint(PegNo * width, 0)), QSize(width, scene->height()));
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.selectable = true;
        state.focused = Speaker.PegFocused(PegNo);
        state.selected = state.focused;
        return state;
    }

private:
    const TSceneSpeaker& Speaker;
    const int PegNo;
};

TSceneSpeaker* SpeakerOfScene(const QObject* scene) {
    for (const auto& entry : Speakers())
        if (scene == entry.second->Scene())
            return entry.second;
    return nullptr;
}

// The scene: a grouping named «Игровое поле» whose children are the pegs.
// It may outlive the speaker by a moment while the main window goes.
class TSceneAccessible : public QAccessibleWidget {
public:
    explicit TSceneAccessible(QWidget* scene) : QAccessibleWidget(scene, QAccessible::Grouping) {}

    QString text(QAccessible::Text t) const override {
        switch (t) {
        case QAccessible::Name:
            return QStringLiteral("Игровое поле");
        case QAccessible::Description:
            // Until the first key: a screen reader reads it again whenever it
            // comes into the scene from elsewhere, as after every dialog.
            if (Speaker() && Speaker()->KeysSpoken())
                return {};
            return QStringLiteral("Стрелки влево и вправо выбирают стержень, пробел берёт или "
                                  "кладёт кольцо, Enter называет всю доску и время, F10 "
                                  "открывает меню, Escape закрывает игру");
        default:
            return QAccessibleWidget::text(t);
        }
    }
    int childCount() const override { return Speaker() ? PegCount : 0; }
    QAccessibleInterface* child(int index) const override {
        return Speaker() ? Speaker()->Peg(index) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return Speaker() ? Speaker()->PegIndex(child) : -1;
    }
    QAccessibleInterface* focusChild() const override {
        for (int peg = 0; peg < childCount(); ++peg)
            if (Speaker()->PegFocused(peg))
                return Speaker()->Peg(peg);
        return nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int peg = 0; peg < childCount(); ++peg)
            if (Speaker()->Peg(peg)->rect().contains(x, y))
                return Speaker()->Peg(peg);
        return nullptr;
    }

private:
    TSceneSpeaker* Speaker() const { return SpeakerOfScene(object()); }
};

QAccessibleInterface* GameAccessibleFactory(const QString&, QObject* object) {
    if (SpeakerOfScene(object))
        return new TSceneAccessible(static_cast<QWidget*>(object));
    // The main window is a window named after the game, not a filler.
    if (const auto found = Speakers().find(object); found != Speakers().end())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}

// Sends the application's events on to the speaker, which takes the
// window's focus events and the keys let go anywhere.
class TFocusFilter : public QObject {
public:
    explicit TFocusFilter(std::function<bool(QObject*, QEvent*)> onEvent)
        : OnEvent(std::move(onEvent)) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return OnEvent(watched, event); }

private:
    std::function<bool(QObject*, QEvent*)> OnEvent;
};

} // namespace

TSceneSpeaker::TSceneSpeaker(const TBoardState& board, QWidget* window, QWidget* scene)
    : Board(board), WindowWidget(window), SceneWidget(scene), SpokenPeg(board.SelectedPeg) {
    Speakers()[window] = this;
    // Qt 6.8 describes the window as soon as it is titled, even before
    // accessibility is on, and before the game can describe it: the next
    // description asked for comes from the game.
    for (QObject* described : {static_cast<QObject*>(window), static_cast<QObject*>(scene)})
        QAccessible::deleteAccessibleInterface(
            QAccessible::uniqueId(QAccessible::queryAccessibleInterface(described)));
    Filter = std::make_unique<TFocusFilter>(
        [this](QObject* watched, QEvent* event) { return FocusFilter(watched, event); });
    FocusTimer = new QTimer(Filter.get());
    FocusTimer->setSingleShot(true);
    QObject::connect(FocusTimer, &QTimer::timeout, Filter.get(), [this] {
        if (Listening() && !QApplication::activePopupWidget()) // a menu keeps the focus
            FocusSelectedPeg();
    });
    qApp->installEventFilter(Filter.get());
}

TSceneSpeaker::~TSceneSpeaker() {
    if (qApp)
        qApp->removeEventFilter(Filter.get());
    Speakers().erase(WindowWidget.data());
    for (const QAccessible::Id id : PegIds)
        if (id)
            QAccessible::deleteAccessibleInterface(id);
}

void TSceneSpeaker::InstallFactory() {
    QAccessible::installFactory(&GameAccessibleFactory);
}

bool TSceneSpeaker::Listening() const {
    return QAccessible::isActive() && SceneWidget && WindowWidget;
}

QString TSceneSpeaker::PegName(int peg) const {
    if (!Messages[peg].isEmpty())
        return Messages[peg];
    return FromUtf8(PegSpeech(Board, peg));
}

QAccessibleInterface* TSceneSpeaker::Peg(int peg) const {
    if (peg < 0 || peg >= PegCount)
        return nullptr;
    QAccessible::Id& id = PegIds[peg];
    if (!id)
        id = QAccessible::registerAccessibleInterface(new TPegAccessible(*this, peg));
    return QAccessible::accessibleInterface(id);
}

int TSceneSpeaker::PegIndex(const QAccessibleInterface* child) const {
    for (int peg = 0; peg < PegCount; ++peg)
        if (PegIds[peg] && QAccessible::accessibleInterface(PegIds[peg]) == child)
            return peg;
    return -1;
}

bool TSceneSpeaker::WindowHasKeyboard() const {
    // On Wayland the window stays active a moment after a dialog opened
    // over it, until the compositor moves the keyboard: the dialog counts.
    return WindowWidget && WindowWidget->isActiveWindow() && !QApplication::activeModalWidget();
}

bool TSceneSpeaker::PegFocused(int peg) const {
    // The window holds the keyboard while it is active, whichever of its
    // widgets Qt counts as focused; back in it, from the peg's focus event.
    return peg == Board.SelectedPeg && !AwaitingFocus && WindowHasKeyboard();
}

void TSceneSpeaker::FrameStarts() {
    InFrame = Listening();
    if (InFrame)
        Before = Board;
}

void TSceneSpeaker::FrameEnds() {
    if (!InFrame) {
        SpokenPeg = Board.SelectedPeg;
        return;
    }
    InFrame = false;
    const TFrameSpeech speech = FrameSpeech(Before, Board, SpokenPeg);
    const int peg = SpokenPeg = Board.SelectedPeg;
    // Told once the frame's picture is on its way, in order with the frames.
    QMetaObject::invokeMethod(
        Filter.get(),
        [this, speech, peg] {
            if (Listening()) {
                EndKeyHelp(speech);
                Say(speech, peg);
            }
        },
        Qt::QueuedConnection);
}

void TSceneSpeaker::TellSolved(QWidget* nameEntry) {
    // The name entry takes the focus at once and would cut short anything
    // the peg said: the solving move and the time are the entry's name for
    // a screen reader, which says it as the window opens, before the prompt.
    QString told = nameEntry ? nameEntry->windowTitle() : QString();
    if (InFrame) {
        InFrame = false;
        told = FromUtf8(FrameSpeech(Before, Board, SpokenPeg).Joined());
    }
    SpokenPeg = Board.SelectedPeg;
    if (nameEntry)
        nameEntry->setAccessibleName(told);
}

void TSceneSpeaker::SpeakBoard() {
    if (!Listening())
        return;
    const TFrameSpeech speech{{}, BoardSpeech(Board)};
    EndKeyHelp(speech);
    Say(speech, Board.SelectedPeg);
}

void TSceneSpeaker::EndKeyHelp(const TFrameSpeech& speech) {
    if (KeysWereSpoken || (speech.Selection.empty() && speech.Action.empty()))
        return;
    KeysWereSpoken = true;
    Notify(QAccessible::queryAccessibleInterface(SceneWidget.data()),
           QAccessible::DescriptionChanged);
}

void TSceneSpeaker::SendNameChanges(int held) {
    for (int peg = 0; peg < PegCount; ++peg) {
        const QString name = PegName(peg);
        if (name == SentNames[peg] || (peg == held && PegFocused(peg)))
            continue;
        SentNames[peg] = name;
        Notify(Peg(peg), QAccessible::NameChanged);
    }
}

void TSceneSpeaker::FocusPeg(int peg) {
    if (peg != Board.SelectedPeg || !WindowHasKeyboard())
        return;
    AwaitingFocus = false;
    Notify(Peg(peg), QAccessible::Focus);
}

bool TSceneSpeaker::FocusFilter(QObject* watched, QEvent* event) {
    // A key let go while the peg's focus is held back (the one that closed a
    // dialog, held down): the screen reader echoes it before the peg comes.
    if (event->type() == QEvent::KeyRelease && FocusTimer->isActive() &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        if (const int delay = FocusDelay(event->type()); delay > 0)
            FocusTimer->start(delay);
        return false;
    }
    // The menu closes as its item begins, and the item may be opening a
    // dialog: the peg waits until that dialog would be up, so it is not told
    // under it (Wayland, Qt 6.8).
    if (event->type() == QEvent::Hide && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->windowType() == Qt::Popup && Listening()) {
        FocusTimer->start(std::max(FocusDelay(event->type()), MenuItemStart));
        return false;
    }
    if (watched != WindowWidget.data())
        return false;
    // The window has the keyboard; for a screen reader the selected peg has
    // it. Qt reports the window's own focus first, so the peg follows later.
    const int delay = FocusDelay(event->type());
    const bool gained = event->type() == QEvent::FocusIn || event->type() == QEvent::WindowActivate;
    if (gained && !FocusTimer->isActive() && Listening())
        FocusTimer->start(delay);
    return false;
}
