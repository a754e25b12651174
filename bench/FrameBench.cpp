// CPU time of one frame of the game at its window size on the software
// renderer, against the same scene drawn by bare GL calls in the same window.
// Run under Xvfb: xvfb-run -a build/bench/frame_bench

#include "dialogs/ErrorBox.h"
#include "game/BoardState.h"
#include "render/DGlut.h"
#include "render/View.h"
#include "ui/FrmGL.h"
#include "ui/GLSurface.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QApplication>
#include <QDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

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
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int p = 0; p < 3; ++p) {
            glPushMatrix();
            glTranslatef(-3.0f + 3.0f * p, 0.0f, 0.0f);
            glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
            glColor3f(0.7f, 0.7f, 0.7f);
            glTranslatef(0.0f, 0.0f, -0.5f);
            gluCylinder(quadric, 0.2, 0.2, 4.5, 25, 25);
            glTranslatef(0.0f, 0.0f, 4.5f);
            gluDisk(quadric, 0.0, 0.2, 25, 25);
            glPopMatrix();
            glPushMatrix();
            glTranslatef(-3.0f + 3.0f * p, 0.0f, 0.0f);
            glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
            glColor3f(1.0f, 1.0f, 1.0f);
            glTranslatef(0.0f, 0.0f, -0.7f);
            gluCylinder(quadric, 2.0, 2.0, 0.2, 25, 25);
            glTranslatef(0.0f, 0.0f, 0.2f);
            gluDisk(quadric, 0.2, 2.0, 25, 25);
            glPopMatrix();
        }
        for (int i = 0; i < 5; ++i) {
            glPushMatrix();
            glTranslatef(-3.0f, 0.0f, -0.75f * i);
            glColor3f(1.2f, 0.6f, 0.4f);
            SolidTorus(0.5f, 1.0f - 0.1f * i, 25, 25);
            glPopMatrix();
        }
        Window->Surface->SwapBuffers();
        glFinish();
    }
    gluDeleteQuadric(quadric);
}

// A Right press to its frame on the screen, cue included. With
// SDL_AUDIODRIVER naming a sound system that is not there (for instance
// alsa on a machine without a card), the same with a failing device: the
// failure is told once (counted here, not shown) and later keys stay silent.
void BM_KeyToFrame(benchmark::State& state) {
    ShowGameWindow();
    int errors = 0;
    SetErrorSink([&](const QString&) { ++errors; });
    for (auto _ : state) {
        const int frames = Window->FramesSwapped();
        QTest::keyClick(Window->windowHandle(), Qt::Key_Right);
        if (!QTest::qWaitFor([&] { return Window->FramesSwapped() > frames; }, 5000))
            state.SkipWithError("no frame after the key");
    }
    state.counters["errors"] = errors;
    SetErrorSink({});
}

BENCHMARK(BM_KeyToFrame)
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
