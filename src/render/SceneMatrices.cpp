#include "render/SceneMatrices.h"

#include <GL/gl.h>

void CaptureModelview(TGLMatrix& into) {
    glGetFloatv(GL_MODELVIEW_MATRIX, into.data());
}

void LoadModelview(const TGLMatrix& matrix) {
    glLoadMatrixf(matrix.data());
}
