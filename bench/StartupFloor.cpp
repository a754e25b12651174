// The floor for the game's start-up: a bare Qt window with the game's menu
// and a GL surface of the scene's size that draws the game's scene once,
// with nothing else of the game. Its first picture and peak memory are what
// any program of this toolkit pays. Runs until it is closed or killed.
// Used by tools/measure-first-picture.sh.

#include "BareScene.h"

#include <QApplication>
#include <QMenuBar>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <GL/glu.h>

namespace {

constexpr int SceneWidth = 300, SceneHeight = 281;

class TFloorSurface : public QWindow {
public:
    TFloorSurface() {
        setSurfaceType(QSurface::OpenGLSurface);
        QSurfaceFormat format;
        format.setDepthBufferSize(24);
        format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
        setFormat(format);
        Context.setFormat(format);
    }
    // The native window and the context made before the window is shown, as
    // the game makes them.
    bool CreateContext() {
        create();
        return Context.create() && Context.makeCurrent(this);
    }
    ~TFloorSurface() override {
        if (Quadric && Context.makeCurrent(this))
            gluDeleteQuadric(Quadric);
    }

protected:
    void exposeEvent(QExposeEvent*) override {
        if (!isExposed() || Drawn)
            return;
        Context.makeCurrent(this);
        const qreal ratio = devicePixelRatio();
        SetUpBareView(static_cast<int>(width() * ratio), static_cast<int>(height() * ratio));
        Quadric = gluNewQuadric();
        DrawBareScene(Quadric, 0);
        Context.swapBuffers(this);
        Drawn = true;
    }

private:
    QOpenGLContext Context;
    GLUquadric* Quadric = nullptr;
    bool Drawn = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* menuBar = new QMenuBar(&window);
    layout->setMenuBar(menuBar);
    QMenu* menu = menuBar->addMenu(QStringLiteral("Игра"));
    menu->addAction(QStringLiteral("Новая"));
    menu->addAction(QStringLiteral("Таблица рекордов"))->setEnabled(false);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Об игре"));
    menu->addSeparator();
    menu->addAction(QStringLiteral("ВЫХОД"));
    auto* surface = new TFloorSurface;
    QWidget* scene = QWidget::createWindowContainer(surface, &window);
    scene->setFixedSize(SceneWidth, SceneHeight);
    layout->addWidget(scene);
    if (!surface->CreateContext())
        return 1;
    window.show();
    window.activateWindow();
    return app.exec();
}
