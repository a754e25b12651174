#pragma once

#include "support/QtPrinters.h"

#include <QColor>
#include <QImage>
#include <QOpenGLFunctions>

// An offscreen colour and depth buffer that a test draws into and reads back.
// Bound, with the viewport on it, for as long as it lives; needs a current
// context (see TGLTestContext).
class TGLTestFramebuffer {
public:
    TGLTestFramebuffer(int width, int height);
    ~TGLTestFramebuffer();
    TGLTestFramebuffer(const TGLTestFramebuffer&) = delete;
    TGLTestFramebuffer& operator=(const TGLTestFramebuffer&) = delete;

    bool Valid() const { return Complete; }

    // Pixel (x, y) counted from the bottom left, as GL counts.
    QColor Pixel(int x, int y);
    // The whole buffer, top row first, as a screen shows it.
    QImage Image();
    // The depth stored there: 0 at the near plane, 1 at the far one.
    float Depth(int x, int y);

private:
    QOpenGLFunctions GL;
    int Width, Height;
    GLuint Framebuffer = 0;
    GLuint Buffers[2] = {};
    bool Complete = false;
};
