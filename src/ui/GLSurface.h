#pragma once

#include <QOpenGLContext>
#include <QWindow>

#include <functional>

class QKeyEvent;

// The GL surface of the main window: a native child window with its own
// context. A frame is an ordinary handler run between makeCurrent and the
// swap, so it may open a modal dialog in the middle and swap only after it
// closes.
class TGLSurface : public QWindow {
public:
    TGLSurface();

    // Creates the native window and the context (24 depth bits, double
    // buffered, desktop OpenGL) and makes the context current. Throws
    // std::runtime_error when the window system cannot give the scene a
    // surface or a context.
    void CreateContext();
    void MakeCurrent();
    void DoneCurrent();
    void SwapBuffers();
    QOpenGLContext* Context() { return &GLContext; }

    // Asks for a frame, drawn as soon as the handler that asked returns
    // (without waiting for the toolkit's update timer); requests made before
    // it runs are coalesced into it. Nothing is erased.
    void Invalidate();

    // Runs one frame; set by the main window. Never runs inside another
    // frame: a request made meanwhile runs when the outer frame ends. An
    // error it throws is shown in the error box after the frame has ended.
    std::function<void()> OnFrame;

    // Runs when the surface changes size; set by the main window.
    std::function<void()> OnResize;

    // Keys that reach the surface itself; set by the main window, which
    // holds the keyboard. A Wayland compositor may hand the keyboard to the
    // surface when the scene is clicked.
    std::function<void(QKeyEvent*)> OnKey;

protected:
    void exposeEvent(QExposeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RunFrame();
    bool Drawable() const;
    QWindow* TopLevel() const;

    QOpenGLContext GLContext;
    bool OnWayland = false;
    bool FrameRunning = false;
    bool FramePending = false;
    bool FrameWanted = false;
    bool FrameQueued = false;
};
