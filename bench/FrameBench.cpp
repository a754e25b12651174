// One frame of the game at its window size on the software renderer, and a
// key to its frame, each against the same scene drawn by bare GL calls.
// Run under Xvfb: xvfb-run -a build/bench/frame_bench

#include "BareScene.h"
#include "dialogs/ErrorBox.h"
#include "game/BoardState.h"
#include "render/View.h"
#include "ui/FrmGL.h"
#include "ui/GLSurface.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QOpenGLContext>
#include <QTest>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<TFrmGL> Window;
TBoardState Board = InitialBoardState();

void ShowGameWindow() {
    if (Window)
        return;
    Window = std::make_unique<TFrmGL>(Board);
    Window->show();
    if (!QTest::qWaitFor([] { return Window->FramesSwapped() > 0; }, 5000))
        std::fprintf(stderr, "the game window drew no frame\n");
}

// The game's frame: pegs, move rules, captured matrices, rings, swap.
void BM_GameFrame(benchmark::State& state) {
    ShowGameWindow();
    for (auto _ : state) {
        Window->Surface->MakeCurrent();
        Window->FormPaint();
        glFinish();
    }
}

// The same pegs and rings drawn straight, with nothing of the game around them.
void BM_BareFrame(benchmark::State& state) {
    ShowGameWindow();
    GLUquadric* quadric = gluNewQuadric();
    for (auto _ : state) {
        Window->Surface->MakeCurrent();
        DrawBareScene(quadric, 0);
        Window->Surface->SwapBuffers();
        glFinish();
    }
    gluDeleteQuadric(quadric);
}

using TClock = std::chrono::steady_clock;

// A window of the scene's size that draws the bare scene the moment a Right
// key arrives, moving the red peg on: the floor for a key to its picture.
class TBareWindow : public QWindow {
public:
    TBareWindow() {
        setSurfaceType(QSurface::OpenGLSurface);
        QSurfaceFormat format;
        format.setDepthBufferSize(24);
        format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
        format.setRenderableType(QSurfaceFormat::OpenGL);
        setFormat(format);
        Context.setFormat(format);
        resize(TFrmGL::SceneWidth, TFrmGL::SceneHeight);
        create();
        Context.create();
    }
    ~TBareWindow() override {
        if (Quadric && Context.makeCurrent(this))
            gluDeleteQuadric(Quadric);
    }
    TBareWindow(const TBareWindow&) = delete;
    TBareWindow& operator=(const TBareWindow&) = delete;

    int Swaps = 0;
    TClock::time_point LastSwap;

protected:
    void exposeEvent(QExposeEvent*) override {
        if (isExposed())
            Draw();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Right) {
            Selected = (Selected + 1) % 3;
            Draw();
        }
    }

private:
    void Draw() {
        Context.makeCurrent(this);
        if (!Quadric) {
            Quadric = gluNewQuadric();
            const qreal ratio = devicePixelRatio();
            SetUpBareView(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
        }
        DrawBareScene(Quadric, Selected);
        Context.swapBuffers(this);
        LastSwap = TClock::now();
        ++Swaps;
    }

    QOpenGLContext Context;
    GLUquadric* Quadric = nullptr;
    int Selected = 0;
};

// When a key reached a window, before anything of it is handled.
class TKeyStamp : public QObject {
public:
    TClock::time_point At;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            At = TClock::now();
        return QObject::eventFilter(watched, event);
    }
};

double Percentile(std::vector<double> samples, double share) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1))];
}

// A Right press to its swapped frame, cue included, timed from the moment
// the key event reaches the window to the moment the frame was swapped.
// Every press on the game is followed by one on a bare window that draws
// the same scene at once, so both see the same load; the iteration time is
// the game's, the bare window's figures are counters. With SDL_AUDIODRIVER
// naming a sound system that is not there (for instance alsa on a machine
// without a card), the same with a failing device: the failure is told once
// (counted here, not shown) and later keys stay silent.
void BM_KeyToFrame(benchmark::State& state) {
    ShowGameWindow();
    TBareWindow bare;
    bare.setPosition(Window->geometry().right() + 20, Window->geometry().top());
    bare.show();
    if (!QTest::qWaitForWindowExposed(&bare))
        state.SkipWithError("the bare window was not shown");
    TKeyStamp gameKey, bareKey;
    Window->windowHandle()->installEventFilter(&gameKey);
    bare.installEventFilter(&bareKey);
    int errors = 0;
    SetErrorSink([&](const QString&) { ++errors; });
    std::vector<double> game, floor;
    const auto ms = [](TClock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    for (auto _ : state) {
        const int frames = Window->FramesSwapped();
        QTest::keyPress(Window->windowHandle(), Qt::Key_Right);
        const auto deadline = TClock::now() + std::chrono::seconds(5);
        while (Window->FramesSwapped() == frames && TClock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QTest::keyRelease(Window->windowHandle(), Qt::Key_Right);
        if (Window->FramesSwapped() == frames) {
            state.SkipWithError("no frame after the key");
            break;
        }
        game.push_back(ms(Window->LastSwap() - gameKey.At));
        state.SetIterationTime(game.back() / 1000.0);

        const int swaps = bare.Swaps;
        QTest::keyClick(&bare, Qt::Key_Right);
        if (bare.Swaps == swaps) {
            state.SkipWithError("no bare frame after the key");
            break;
        }
        floor.push_back(ms(bare.LastSwap - bareKey.At));
        QCoreApplication::processEvents();
    }
    if (!game.empty() && !floor.empty()) {
        state.counters["game_median_ms"] = Percentile(game, 0.5);
        state.counters["game_p90_ms"] = Percentile(game, 0.9);
        state.counters["bare_median_ms"] = Percentile(floor, 0.5);
        state.counters["bare_p90_ms"] = Percentile(floor, 0.9);
    }
    state.counters["errors"] = errors;
    SetErrorSink({});
}

BENCHMARK(BM_KeyToFrame)
    ->UseManualTime()
    ->Iterations(100)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameFrame)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareFrame)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The cues are looked up in the working directory.
    const QString cues = QStringLiteral(TARVIN_SOUNDS_DIR);
    if (!QDir::setCurrent(cues))
        std::fprintf(stderr, "cannot enter %s\n", qPrintable(cues));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Window.reset();
    benchmark::Shutdown();
    return 0;
}
