#include "ui/GLSurface.h"

#include "dialogs/ErrorBox.h"

#include <exception>
#include <stdexcept>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QRegion>
#include <QSurfaceFormat>

TGLSurface::TGLSurface() {
    setSurfaceType(QSurface::OpenGLSurface);
    // Input goes to the main window underneath, which holds the keyboard.
    setFlag(Qt::WindowTransparentForInput);
    QSurfaceFormat format;
    format.setDepthBufferSize(24);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRenderableType(QSurfaceFormat::OpenGL);
    setFormat(format);
    GLContext.setFormat(format);
}

void TGLSurface::CreateContext() {
    OnWayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    create();
    if (!handle())
        throw std::runtime_error("The window system gave the game scene no surface");
    if (OnWayland) {
        // Qt does not carry the input flag over to a Wayland sub-surface: an
        // input region outside the surface lets clicks fall through to the
        // main window, so the compositor never hands the keyboard to the scene.
        setMask(QRegion(-1, -1, 1, 1));
    }
    if (!GLContext.create())
        throw std::runtime_error("Cannot create an OpenGL context for the game scene");
    if (!GLContext.makeCurrent(this))
        throw std::runtime_error("Cannot make the OpenGL context of the game scene current");
}

void TGLSurface::Invalidate() {
    if (FrameQueued)
        return;
    FrameQueued = true;
    // Queued behind the events already waiting, so a burst of keys makes one
    // frame.
    QMetaObject::invokeMethod(
        this,
        [this] {
            FrameQueued = false;
            RunFrame();
        },
        Qt::QueuedConnection);
}

void TGLSurface::MakeCurrent() {
    GLContext.makeCurrent(this);
}

void TGLSurface::DoneCurrent() {
    GLContext.doneCurrent();
}

void TGLSurface::SwapBuffers() {
    GLContext.swapBuffers(this);
}

bool TGLSurface::Drawable() const {
    if (isExposed())
        return true;
    return OnWayland && isVisible() && TopLevel() != this && TopLevel()->isExposed();
}

QWindow* TGLSurface::TopLevel() const {
    const QWindow* top = this;
    while (top->parent())
        top = top->parent();
    return const_cast<QWindow*>(top);
}

void TGLSurface::exposeEvent(QExposeEvent*) {
    if (isExposed())
        RunFrame();
}

void TGLSurface::resizeEvent(QResizeEvent*) {
    if (OnResize)
        Guarded(OnResize);
}

bool TGLSurface::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::UpdateRequest:
        RunFrame();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (OnKey) {
            OnKey(static_cast<QKeyEvent*>(event));
            return true;
        }
        break;
    default:
        break;
    }
    return QWindow::event(event);
}

bool TGLSurface::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && watched == TopLevel()) {
        watched->removeEventFilter(this);
        if (FrameWanted)
            Invalidate();
    }
    return QWindow::eventFilter(watched, event);
}

void TGLSurface::RunFrame() {
    if (FrameRunning) {
        FramePending = true;
        return;
    }
    if (!OnFrame)
        return;
    if (!Drawable()) {
        // Drawn when the window is exposed. Qt 6.4 (Debian 12) tells a
        // Wayland sub-surface it is exposed only once the compositor has
        // activated the window, and some never do (weston's headless
        // backend), so the main window's exposure is watched; Qt 6.8
        // (Debian 13) exposes the sub-surface by itself.
        FrameWanted = true;
        if (OnWayland && TopLevel() != this)
            TopLevel()->installEventFilter(this);
        return;
    }
    FrameWanted = false;
    FrameRunning = true;
    FramePending = false;
    MakeCurrent();
    std::exception_ptr failure;
    try {
        OnFrame();
    } catch (...) {
        failure = std::current_exception();
    }
    FrameRunning = false;
    if (FramePending) {
        FramePending = false;
        Invalidate();
    }
    // Shown once the frame is over, so the scene keeps repainting meanwhile.
    if (failure)
        Guarded([&] { std::rethrow_exception(failure); });
}
