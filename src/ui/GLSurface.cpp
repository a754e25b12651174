#include "ui/GLSurface.h"

#include "dialogs/ErrorBox.h"

#include <exception>

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
    create();
    GLContext.create();
    MakeCurrent();
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

void TGLSurface::exposeEvent(QExposeEvent*) {
    if (isExposed())
        RunFrame();
}

void TGLSurface::resizeEvent(QResizeEvent*) {
    if (OnResize)
        Guarded(OnResize);
}

bool TGLSurface::event(QEvent* event) {
    if (event->type() == QEvent::UpdateRequest) {
        RunFrame();
        return true;
    }
    return QWindow::event(event);
}

void TGLSurface::RunFrame() {
    if (FrameRunning) {
        FramePending = true;
        return;
    }
    if (!OnFrame || !isExposed())
        return;
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
        requestUpdate();
    }
    // Shown once the frame is over, so the scene keeps repainting meanwhile.
    if (failure)
        Guarded([&] { std::rethrow_exception(failure); });
}
