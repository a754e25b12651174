// Start-up to the first swapped frame, peak memory and idle CPU, for the game
// and for a bare Qt window with the same GL surface. Used by
// tools/measure-startup.sh, which passes the launch time in nanoseconds.

#include "game/BoardState.h"
#include "speech/SceneSpeaker.h"
#include "ui/FrmGL.h"

#include <QApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSurfaceFormat>
#include <QTest>
#include <QWindow>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

double NowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The same surface as the game's, cleared and swapped on every expose.
class TBareWindow : public QWindow {
public:
    TBareWindow() {
        setSurfaceType(QSurface::OpenGLSurface);
        QSurfaceFormat format;
        format.setDepthBufferSize(24);
        setFormat(format);
        Context.setFormat(format);
    }
    int Swaps = 0;

protected:
    void exposeEvent(QExposeEvent*) override {
        if (!isExposed())
            return;
        if (!Context.isValid())
            Context.create();
        Context.makeCurrent(this);
        Context.functions()->glClearColor(0, 0, 0, 1);
        Context.functions()->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        Context.swapBuffers(this);
        ++Swaps;
    }

private:
    QOpenGLContext Context;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_probe game|bare LAUNCH_NS [IDLE_SECONDS]\n");
        return 2;
    }
    const bool game = std::strcmp(argv[1], "game") == 0;
    const double launched = std::stod(argv[2]) / 1e9;
    const int idleSeconds = argc > 3 ? std::stoi(argv[3]) : 10;

    QApplication app(argc, argv);
    if (game)
        TSceneSpeaker::InstallFactory(); // as the game does
    TBoardState board = InitialBoardState();
    std::unique_ptr<TFrmGL> frm;
    std::unique_ptr<TBareWindow> bare;
    std::unique_ptr<QWidget> holder;
    const TBareWindow* bareWindow = nullptr;
    if (game) {
        frm = std::make_unique<TFrmGL>(board);
        frm->show();
        frm->activateWindow();
        if (!QTest::qWaitFor([&] { return frm->FramesSwapped() > 0; }, 10000))
            return 1;
    } else {
        // A plain widget window holding the surface, as the game's does.
        bare = std::make_unique<TBareWindow>();
        holder = std::make_unique<QWidget>();
        bareWindow = bare.get();
        QWidget* container = QWidget::createWindowContainer(bare.release(), holder.get());
        container->setFixedSize(300, 281);
        holder->show();
        if (!QTest::qWaitFor([&] { return bareWindow->Swaps > 0; }, 10000))
            return 1;
    }
    const double firstFrame = NowSeconds() - launched;

    const double cpuBefore = CpuSeconds();
    QTest::qWait(idleSeconds * 1000);
    const double idleCpu = CpuSeconds() - cpuBefore;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s first_frame_ms=%.1f peak_rss_mb=%.1f idle_cpu_ms=%.1f over %d s\n", argv[1],
                firstFrame * 1000, usage.ru_maxrss / 1024.0, idleCpu * 1000, idleSeconds);
    return 0;
}
