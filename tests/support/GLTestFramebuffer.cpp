#include "support/GLTestFramebuffer.h"

#include <QOpenGLContext>

TGLTestFramebuffer::TGLTestFramebuffer(int width, int height)
    : GL(QOpenGLContext::currentContext()), Width(width), Height(height) {
    GL.glGenFramebuffers(1, &Framebuffer);
    GL.glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer);
    GL.glGenRenderbuffers(2, Buffers);
    const GLenum formats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT24};
    const GLenum attachments[2] = {GL_COLOR_ATTACHMENT0, GL_DEPTH_ATTACHMENT};
    for (int k = 0; k < 2; ++k) {
        GL.glBindRenderbuffer(GL_RENDERBUFFER, Buffers[k]);
        GL.glRenderbufferStorage(GL_RENDERBUFFER, formats[k], width, height);
        GL.glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachments[k], GL_RENDERBUFFER, Buffers[k]);
    }
    Complete = GL.glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glViewport(0, 0, width, height);
}

TGLTestFramebuffer::~TGLTestFramebuffer() {
    GL.glBindFramebuffer(GL_FRAMEBUFFER,
                         QOpenGLContext::currentContext()->defaultFramebufferObject());
    GL.glDeleteRenderbuffers(2, Buffers);
    GL.glDeleteFramebuffers(1, &Framebuffer);
}

QColor TGLTestFramebuffer::Pixel(int x, int y) {
    GLubyte rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return QColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

QImage TGLTestFramebuffer::Image() {
    QImage image(Width, Height, QImage::Format_RGBA8888);
    glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    return image.mirrored();
}

float TGLTestFramebuffer::Depth(int x, int y) {
    GLfloat depth = -1.0f;
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}
