#include "render/View.h"

#include <GL/gl.h>

void InitSceneState() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glColor3f(0.8f, 0.4f, 0.2f);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DEPTH_TEST);
}

void SetUpView(int width, int height, const TBoardState& board, TSceneMatrices& matrices) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The box keeps its proportions whatever the window's: the window is fixed.
    glOrtho(-5.3, 5.3, -5.3, 5.3, -5.0, 25.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, -2.0f, -5.0f);
    glRotatef(110.0f, 1.0f, 0.0f, 0.0f);
    CaptureModelview(matrices.BaseView);
    for (int i = 0; i < RingCount; ++i) {
        glTranslatef(-3.0f, 0.0f, 0.0f);
        glTranslatef(0.0f, 0.0f, -static_cast<float>(board.Rings[i].Level) * 1.5f * TubeRadius);
        CaptureModelview(matrices.RingCurrent[i]);
        CaptureModelview(matrices.RingHome[i]);
        LoadModelview(matrices.BaseView);
    }
}

void SendRingsHome(TSceneMatrices& matrices) {
    for (int i = 0; i < RingCount; ++i) {
        LoadModelview(matrices.RingHome[i]);
        CaptureModelview(matrices.RingCurrent[i]);
    }
    LoadModelview(matrices.BaseView);
}
