#include "render/View.h"
#include "support/GLTestContext.h"
#include "support/GLTestFramebuffer.h"
#include "support/MatrixMath.h"
#include "support/QtTestMain.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace MatrixMath;

TGLMatrix ExpectedCamera() {
    return RotatedX(Translated(Identity(), 0, -2, -5), 110);
}

TEST(SetUpView, CapturesCameraAndEveryRingHomeOnTheLeftPeg) {
    TARVIN_NEEDS_DISPLAY();
    TGLTestContext gl;
    ASSERT_TRUE(gl.Valid());
    const TBoardState board = InitialBoardState();
    TSceneMatrices m;
    SetUpView(300, 281, board, m);

    EXPECT_MATRIX_NEAR(m.BaseView, ExpectedCamera());
    for (int i = 0; i < RingCount; ++i) {
        const TGLMatrix home = Translated(Translated(ExpectedCamera(), -3, 0, 0), 0, 0, -0.75f * i);
        EXPECT_MATRIX_NEAR(m.RingHome[i], home);
        EXPECT_MATRIX_NEAR(m.RingCurrent[i], home);
    }

    TGLMatrix current;
    CaptureModelview(current);
    EXPECT_MATRIX_NEAR(current, m.BaseView); // the camera is left current
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 300);
    EXPECT_EQ(viewport[3], 281);
    TGLMatrix projection;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    EXPECT_NEAR(projection[0], 2 / 10.6, 1e-6);
    EXPECT_NEAR(projection[5], 2 / 10.6, 1e-6);
    EXPECT_NEAR(projection[10], -2 / 30.0, 1e-6);
    EXPECT_NEAR(projection[14], -20 / 30.0, 1e-6);
}

TEST(SetUpView, SendRingsHomeRestoresEveryRingAndLeavesTheCameraCurrent) {
    TARVIN_NEEDS_DISPLAY();
    TGLTestContext gl;
    ASSERT_TRUE(gl.Valid());
    TSceneMatrices m;
    SetUpView(300, 281, InitialBoardState(), m);
    m.RingCurrent[2] = Identity();
    glLoadIdentity();
    SendRingsHome(m);
    for (int i = 0; i < RingCount; ++i)
        EXPECT_MATRIX_NEAR(m.RingCurrent[i], m.RingHome[i]);
    TGLMatrix current;
    CaptureModelview(current);
    EXPECT_MATRIX_NEAR(current, m.BaseView);
}

// A square of the given colour filling x0..x1 of the view at depth z (nearer
// the larger), its normal facing the viewer or away from it.
void Square(float x0, float x1, float z, float normalZ, float r, float g, float b) {
    glColor3f(r, g, b);
    glNormal3f(0.0f, 0.0f, normalZ);
    glBegin(GL_QUADS);
    glVertex3f(x0, -1.0f, z);
    glVertex3f(x1, -1.0f, z);
    glVertex3f(x1, 1.0f, z);
    glVertex3f(x0, 1.0f, z);
    glEnd();
}

TEST(SceneState, ColoursAreLitFromTheViewerAndNearerSurfacesHideFartherOnes) {
    TARVIN_NEEDS_DISPLAY();
    TGLTestContext gl;
    ASSERT_TRUE(gl.Valid());
    TGLTestFramebuffer fb(30, 10);
    ASSERT_TRUE(fb.Valid());
    InitSceneState();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.5, 1.5, -1, 1, -10, 10); // one unit is 10 pixels
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // Left: facing the light, the colour itself (red 1.2 clamps to full),
    // not the material's default grey.
    Square(-1.5f, -0.5f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f);
    // Middle: turned away from the light, only the ambient fifth is left.
    Square(-0.5f, 0.5f, 0.0f, -1.0f, 1.0f, 0.0f, 0.0f);
    // Right: a near green square drawn first, a far blue one after it.
    Square(0.5f, 1.5f, 1.0f, 1.0f, 0.0f, 1.0f, 0.0f);
    Square(0.5f, 1.5f, -1.0f, 1.0f, 0.0f, 0.0f, 1.0f);

    const auto near = [](const QColor& c, int r, int g, int b) {
        return std::abs(c.red() - r) <= 2 && std::abs(c.green() - g) <= 2 &&
               std::abs(c.blue() - b) <= 2;
    };
    EXPECT_PRED4(near, fb.Pixel(5, 5), 255, 0, 0);
    EXPECT_PRED4(near, fb.Pixel(15, 5), 51, 0, 0);
    EXPECT_PRED4(near, fb.Pixel(25, 5), 0, 255, 0);

    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_PRED4(near, fb.Pixel(5, 5), 0, 0, 0) << "the background is black";
}

} // namespace
