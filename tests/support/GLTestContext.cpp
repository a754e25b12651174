#include "support/GLTestContext.h"

#include <QSurfaceFormat>

TGLTestContext::TGLTestContext() {
    QSurfaceFormat format;
    format.setDepthBufferSize(24);
    Surface = std::make_unique<QOffscreenSurface>();
    Surface->setFormat(format);
    Surface->create();
    Context = std::make_unique<QOpenGLContext>();
    Context->setFormat(format);
    Ok = Context->create() && Context->makeCurrent(Surface.get());
}

TGLTestContext::~TGLTestContext() {
    if (Context)
        Context->doneCurrent();
}
