#pragma once

#include <QOpenGLContext>
#include <QWindow>

#include <functional>

// The GL surface of the main window: a native window with its own context.
// A frame is an ordinary handler run between makeCurrent and the swap, so it
// may open a modal dialog in the middle and swap only after it closes.
class TGLSurface : public QWindow {
public:
    TGLSurface();

    // Creates the native window and the context (24 depth bits, double
    // buffered, compatibility profile) and makes the context current.
    void CreateContext();
    void MakeCurrent();
    void DoneCurrent();
    void SwapBuffers();
    QOpenGLContext* Context() { return &GLContext; }

    // Asks for a frame; repeated requests are coalesced, nothing is erased.
    void Invalidate() { requestUpdate(); }

    // Runs one frame; set by the main window. Never runs inside another
    // frame: a request made meanwhile runs when the outer frame ends. An
    // error it throws is shown in the error box after the frame has ended.
    std::function<void()> OnFrame;

    // Runs when the surface changes size; set by the main window.
    std::function<void()> OnResize;

    bool InFrame() const { return FrameRunning; }

protected:
    void exposeEvent(QExposeEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RunFrame();

    QOpenGLContext GLContext;
    bool FrameRunning = false;
    bool FramePending = false;
};
