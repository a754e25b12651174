#pragma once

#include <QOffscreenSurface>
#include <QOpenGLContext>

#include <memory>

// A current legacy GL context on an offscreen surface, with a depth buffer.
class TGLTestContext {
public:
    TGLTestContext();
    ~TGLTestContext();
    bool Valid() const { return Ok; }

private:
    std::unique_ptr<QOffscreenSurface> Surface;
    std::unique_ptr<QOpenGLContext> Context;
    bool Ok = false;
};
