// The toolkit's floor for the idle measure (tools/measure-idle.sh): a bare Qt
// window with a menu bar and a GL surface of the game's size, cleared and
// swapped on every expose, idling in the event loop as the game does.

#include <QApplication>
#include <QMenuBar>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

namespace {

class TBareSurface : public QWindow {
public:
    TBareSurface() { setSurfaceType(QSurface::OpenGLSurface); }

protected:
    void exposeEvent(QExposeEvent*) override {
        if (!isExposed())
            return;
        if (!Context.isValid())
            Context.create();
        Context.makeCurrent(this);
        Context.functions()->glClearColor(0, 0, 0, 1);
        Context.functions()->glClear(GL_COLOR_BUFFER_BIT);
        Context.swapBuffers(this);
    }

private:
    QOpenGLContext Context;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menuBar = new QMenuBar(&window);
    menuBar->addMenu(QStringLiteral("Игра"))->addAction(QStringLiteral("Новая"));
    layout->setMenuBar(menuBar);
    QWidget* scene = QWidget::createWindowContainer(new TBareSurface, &window);
    scene->setFixedSize(300, 281);
    layout->addWidget(scene);
    window.show();
    return QApplication::exec();
}
