#include "ui/FrmGL.h"

#include "dialogs/AppIcon.h"
#include "dialogs/ErrorBox.h"
#include "dialogs/FixedSize.h"
#include "dialogs/ModalOnDesktop.h"
#include "records/RecordsFile.h"
#include "recordswindows/FrmNameTarvin.h"
#include "recordswindows/FrmTable.h"
#include "render/View.h"
#include "speech/SceneSpeaker.h"
#include "ui/FrmAboutTarvin.h"
#include "ui/GLSurface.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

// The menu bar's style without keyboard navigation by a lone Alt: the
// arrows, Space and Escape belong to the game, and an Alt tapped by accident
// (or on the way to Alt+Tab) would take them into the menu bar unseen.
class TNoAltMenuStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_MenuBar_AltKeyNavigation)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TFrmGL::TFrmGL(TBoardState& board)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      Board(board) {
    setWindowTitle(QStringLiteral("Тарвин"));
    setWindowIcon(AppIcon());
    // The keyboard stays here, whatever was clicked or opened before.
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    KeepFixedSize(this);

    MainMenu1 = new QMenuBar(this);
    auto* menuStyle = new TNoAltMenuStyle;
    menuStyle->setParent(MainMenu1);
    MainMenu1->setStyle(menuStyle);
    layout->setMenuBar(MainMenu1);
    N1 = MainMenu1->addMenu(QStringLiteral("Игра"));
    N2 = N1->addAction(QStringLiteral("Новая"));
    N3 = N1->addAction(QStringLiteral("Таблица рекордов"));
    N3->setEnabled(false);
    N4 = N1->addSeparator();
    N5 = N1->addAction(QStringLiteral("Об игре"));
    N6 = N1->addSeparator();
    N7 = N1->addAction(QStringLiteral("ВЫХОД"));
    connect(N1, &QMenu::aboutToShow, this, [this] { Guarded([this] { GameMenuOpened(); }); });
    // Closing the menu with Escape leaves the menu bar holding the keyboard;
    // the arrows belong to the game, so take the focus back once it is shut.
    connect(N1, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, [this] { setFocus(); }); });
    connect(N2, &QAction::triggered, this, [this] { Guarded([this] { NewGameClick(); }); });
    connect(N3, &QAction::triggered, this, [this] { Guarded([this] { RecordsTableClick(); }); });
    connect(N5, &QAction::triggered, this, [this] { Guarded([this] { AboutClick(); }); });
    connect(N7, &QAction::triggered, this, [this] { Guarded([this] { ExitClick(); }); });

    // Qt takes ownership of the surface through its container.
    Surface = new TGLSurface;
    Scene = QWidget::createWindowContainer(Surface, this);
    Scene->setFixedSize(SceneWidth, SceneHeight);
    Scene->setFocusPolicy(Qt::NoFocus);
    // Centred in what the window was given where a compositor imposes a size.
    layout->addWidget(Scene, 0, Qt::AlignCenter);
    Surface->OnFrame = [this] { FormPaint(); };
    Surface->OnResize = [this] { FormResize(); };
    Surface->OnKey = [this](QKeyEvent* event) { QCoreApplication::sendEvent(this, event); };
    Speech = std::make_unique<TSceneSpeaker>(Board, this, Scene);

    TimerGame = new QTimer(this);
    TimerGame->setInterval(1000);
    TimerGame->setTimerType(Qt::PreciseTimer);
    connect(TimerGame, &QTimer::timeout, this, [this] { Guarded([this] { TimerGameTimer(); }); });

    setFocus();
    Guarded([this] { FormCreate(); });
}

TFrmGL::~TFrmGL() {
    FormDestroy();
}

void TFrmGL::SetDialogs(TFrmTable* table, TFrmAboutTarvin* about, TFrmNameTarvin* nameEntry) {
    FrmTable = table;
    FrmAbout = about;
    FrmName = nameEntry;
}

void TFrmGL::SetDeferredStartUp(std::function<void()> work) {
    DeferredStartUp = std::move(work);
}

void TFrmGL::FinishStartUp() {
    if (StartUpFinished)
        return;
    StartUpFinished = true;
    if (DeferredStartUp)
        std::exchange(DeferredStartUp, nullptr)();
    if (ActivationPending) {
        ActivationPending = false;
        // A records error is shown and whatever asked for the records still runs.
        Guarded([this] { FormActivate(); });
    }
}

void TFrmGL::FormCreate() {
    CreateContext();
}

void TFrmGL::CreateContext() {
    Surface->CreateContext();
    Quadric.emplace();
    InitSceneState();
    Board.Pegs[0].Count = 5;
    Board.Pegs[1].Count = 0;
    Board.Pegs[2].Count = 0;
    EnableGameTimer(); // the first game's clock starts here
}

void TFrmGL::DestroyContext() {
    if (!Quadric)
        return;
    Surface->MakeCurrent();
    Quadric.reset();
    Surface->DoneCurrent();
}

void TFrmGL::FormDestroy() {
    DestroyContext();
}

void TFrmGL::FormResize() {
    if (!Quadric)
        return; // no context yet: the first showing sizes the view again
    Surface->MakeCurrent();
    const qreal ratio = Surface->devicePixelRatio();
    SetUpView(static_cast<int>(Surface->width() * ratio),
              static_cast<int>(Surface->height() * ratio), Board, Matrices);
    ViewReady = true;
    Invalidate();
}

void TFrmGL::FormPaint() {
    if (!Quadric)
        return;
    if (!ViewReady)
        FormResize();
    const TSceneSpeaker::TSpokenFrame spoken(*Speech);
    DrawFrame(Board, Matrices, Quadric->Get(), *this);
    if (SwapCount > 0 && !StartUpQueued) {
        // The first picture is up: the rest of start-up follows it.
        StartUpQueued = true;
        QTimer::singleShot(0, this, [this] { Guarded([this] { FinishStartUp(); }); });
    }
}

void TFrmGL::FormActivate() {
    if (!StartUpFinished) {
        ActivationPending = true; // the records load after the first picture
        return;
    }
    if (!FrmTable)
        return;
    if (RecordsFileExists()) {
        N3->setEnabled(true);
        FrmTable->LoadRecordsFile();
    }
}

void TFrmGL::FormClose() {
    FinishStartUp();
    if (FrmTable)
        FrmTable->SaveRecordsFile(); // keeps what other games wrote meanwhile
}

void TFrmGL::FormKeyDown(int key) {
    switch (key) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_Left:
        if (Board.GameActive == 1) {
            Board.SelectedPeg = Board.SelectedPeg == 0 ? 2 : Board.SelectedPeg - 1;
            Invalidate();
            PlayCue(CueSelection);
        }
        break;
    case Qt::Key_Right:
        if (Board.GameActive == 1) {
            Board.SelectedPeg = Board.SelectedPeg == 2 ? 0 : Board.SelectedPeg + 1;
            Invalidate();
            PlayCue(CueSelection);
        }
        break;
    case Qt::Key_Space:
        if (Board.GameActive == 1) {
            Board.PutMode = 1 - Board.PutMode;
            Invalidate();
        }
        break;
    default:
        break;
    }
}

void TFrmGL::TimerGameTimer() {
    Tick(Board);
}

void TFrmGL::GameMenuOpened() {
    // Every menu command is reached through the open menu, and the records
    // item and the about box need what start-up left for later.
    FinishStartUp();
    if (RecordsFileExists())
        N3->setEnabled(true);
}

void TFrmGL::NewGameClick() {
    MP.OpenDevice(); // a sound system started meanwhile is picked up
    Surface->MakeCurrent();
    SendRingsHome(Matrices);
    ResetForNewGame(Board);
    EnableGameTimer();
    Board.GameActive = 1;
    Invalidate();
}

void TFrmGL::RecordsTableClick() {
    AwaitKeyboardBack(this); // the menu has just closed
    if (FrmTable)
        FrmTable->ShowModal();
}

void TFrmGL::AboutClick() {
    AwaitKeyboardBack(this);
    if (FrmAbout)
        FrmAbout->ShowModal();
}

void TFrmGL::ExitClick() {
    close();
}

void TFrmGL::EnableGameTimer() {
    if (!TimerGame->isActive())
        TimerGame->start();
}

void TFrmGL::Invalidate() {
    Surface->Invalidate();
}

bool TFrmGL::event(QEvent* event) {
    // The window is activated again whenever it gets the focus back; the
    // records are loaded only on the first activation, at start-up.
    if (event->type() == QEvent::WindowActivate && !Activated) {
        Activated = true;
        Guarded([this] { FormActivate(); });
    }
    return QWidget::event(event);
}

void TFrmGL::OpenGameMenu() {
    MainMenu1->setActiveAction(N1->menuAction());
    N1->setActiveAction(N2);
}

void TFrmGL::paintEvent(QPaintEvent*) {
    // Around the scene, when the window is larger than it: the scene's black.
    QPainter(this).fillRect(rect().adjusted(0, MainMenu1->height(), 0, 0), Qt::black);
}

void TFrmGL::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // The menu without a mouse: it takes the keys while it is open and hands
    // them back when it closes.
    if (key == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        event->accept();
        OpenGameMenu();
        return;
    }
    if (key == Qt::Key_Escape || key == Qt::Key_Left || key == Qt::Key_Right ||
        key == Qt::Key_Space) {
        event->accept();
        Guarded([this, key] { FormKeyDown(key); });
        return;
    }
    // Only spoken: the whole board and the clock.
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        event->accept();
        Speech->SpeakBoard();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TFrmGL::closeEvent(QCloseEvent* event) {
    // A failing save at exit is reported and the program still ends, so a
    // records file that cannot be written never keeps the player in. Entries
    // whose own save failed too are lost then, after their second error box.
    Guarded([this] { FormClose(); });
    event->accept();
}

void TFrmGL::PlayCue(int cue) {
    MP.PlayCue(cue);
}

void TFrmGL::DisableGameTimer() {
    TimerGame->stop();
}

void TFrmGL::BeginNameEntry() {
    FinishStartUp();
    Speech->TellSolved(FrmName); // before the name is asked
    if (FrmName)
        FrmName->BeginNameEntry(TimeText(Board)); // the clock stopped at the solve
    Surface->MakeCurrent();
}

void TFrmGL::ReportError(const std::string& text) {
    ShowErrorBox(QString::fromStdString(text));
}

void TFrmGL::SwapBuffers() {
    Surface->SwapBuffers();
    LastSwapAt = std::chrono::steady_clock::now();
    // The window is up: the sound device opens now, in the background, so
    // not even the first key waits for it.
    if (++SwapCount == 1)
        MP.OpenDevice();
}
