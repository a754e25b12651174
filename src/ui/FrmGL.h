#pragma once

#include "game/BoardState.h"
#include "render/Frame.h"
#include "render/Quadric.h"
#include "render/SceneMatrices.h"
#include "sound/SoundPlayer.h"

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QMenuBar;
class QTimer;
class TFrmAboutTarvin;
class TFrmNameTarvin;
class TFrmTable;
class TGLSurface;
class TSceneSpeaker;

// The main window: the GL scene under the menu bar, the keyboard, the game
// timer and the sound player. Everything in the game happens in its handlers.
class TFrmGL : public QWidget, private TFrameHost {
public:
    static constexpr int SceneWidth = 300;
    static constexpr int SceneHeight = 281;

    explicit TFrmGL(TBoardState& board);
    ~TFrmGL() override;
    TFrmGL(const TFrmGL&) = delete;
    TFrmGL& operator=(const TFrmGL&) = delete;

    // The other windows, created after this one; they live as long as it does.
    void SetDialogs(TFrmTable* table, TFrmAboutTarvin* about, TFrmNameTarvin* nameEntry);

    // Start-up work the first picture does not need (creating the dialogs).
    void SetDeferredStartUp(std::function<void()> work);
    // Runs that work once, then the records refresh of an activation that
    // came before it. Queued as soon as the first frame is on the screen;
    // whatever needs the dialogs or the records runs it first, in case it
    // has not run yet.
    void FinishStartUp();

    // Event handlers.
    void FormCreate();
    void FormResize();
    void FormPaint();
    void FormActivate();
    void FormClose();
    void FormDestroy();
    void FormKeyDown(int key);
    void TimerGameTimer();

    // The «Игра» menu (N1): opening it enables the records item once the
    // file exists; then its commands, N2, N3, N5 and N7.
    void GameMenuOpened();
    void NewGameClick();
    void RecordsTableClick();
    void AboutClick();
    void ExitClick();

    // Starts the game timer unless it runs already, so its ticks keep their phase.
    void EnableGameTimer();
    void Invalidate();
    // Opens the game menu with its first item highlighted (F10).
    void OpenGameMenu();

    // Whether the GL surface and context were made: without them the game
    // cannot be shown, and it ends once the error was reported.
    bool SceneReady() const { return Quadric.has_value(); }

    // Frames completed so far (swapped to the screen), and when the last
    // swap returned.
    int FramesSwapped() const { return SwapCount; }
    std::chrono::steady_clock::time_point LastSwap() const { return LastSwapAt; }

    TBoardState& Board;
    TSceneMatrices Matrices;
    TSoundPlayer MP;
    TGLSurface* Surface = nullptr;
    QWidget* Scene = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QMenu* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* N7 = nullptr;
    QTimer* TimerGame = nullptr;
    // Tells a screen reader what happens on the board.
    std::unique_ptr<TSceneSpeaker> Speech;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // What a frame asks of the window.
    void PlayCue(int cue) override;
    void DisableGameTimer() override;
    void BeginNameEntry() override;
    void ReportError(const std::string& text) override;
    void SwapBuffers() override;

    void CreateContext();
    void DestroyContext();

    std::optional<TQuadric> Quadric;
    TFrmTable* FrmTable = nullptr;
    TFrmAboutTarvin* FrmAbout = nullptr;
    TFrmNameTarvin* FrmName = nullptr;
    std::function<void()> DeferredStartUp;
    bool StartUpQueued = false;
    bool StartUpFinished = false;
    bool ActivationPending = false;
    bool ViewReady = false;
    bool Activated = false;
    int SwapCount = 0;
    std::chrono::steady_clock::time_point LastSwapAt;
};
