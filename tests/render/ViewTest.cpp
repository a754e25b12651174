#include "render/View.h"
#include "support/GLTestContext.h"
#include "support/MatrixMath.h"
#include "support/QtTestMain.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

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

TEST(SceneState, LightingColourMaterialAndDepthTestAreOn) {
    TARVIN_NEEDS_DISPLAY();
    TGLTestContext gl;
    ASSERT_TRUE(gl.Valid());
    InitSceneState();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);
}

} // namespace
