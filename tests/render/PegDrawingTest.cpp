#include "render/Frame.h"
#include "support/GLTestFramebuffer.h"
#include "support/MatrixMath.h"
#include "support/SceneFixture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

using namespace MatrixMath;

const QColor Selected(204, 77, 77); // 0.8, 0.3, 0.3
const QColor Grey(179, 179, 179);   // 0.7
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);

bool Near(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

// One peg drawn unlit, so every pixel shows the colour given to GL, in an
// orthographic view 5 units wide at 40 pixels a unit: sizes and places can
// be read off the pixels to a pixel.
class PegDrawing : public TSceneFixture {
protected:
    static constexpr int Scale = 40;
    static constexpr float Left = -2.5f, Wide = 5.0f, High = 5.5f;

    void SetUp() override {
        TSceneFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Target.emplace(static_cast<int>(Wide * Scale), static_cast<int>(High * Scale));
        ASSERT_TRUE(Target->Valid());
        glDisable(GL_LIGHTING);
    }

    // Draws peg p with `view` as its peg matrix; the picture shows view
    // coordinates x from -2.5 to 2.5 and y from `bottom` to `bottom` + 5.5.
    void Draw(int p, const TGLMatrix& view, float bottom) {
        Bottom = bottom;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(Left, Left + Wide, bottom, bottom + High, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        M.PegMatrix[p] = view;
        LoadModelview(view);
        DrawPeg(p, Board, M, Quadric->Get());
    }

    int Column(float x) const { return static_cast<int>(std::floor((x - Left) * Scale)); }
    int Row(float y) const { return static_cast<int>(std::floor((y - Bottom) * Scale)); }

    QColor At(float x, float y) { return Target->Pixel(Column(x), Row(y)); }
    // The view's z there (towards the viewer), from the depth buffer.
    float DepthAt(float x, float y) {
        return 10.0f * (1.0f - 2.0f * Target->Depth(Column(x), Row(y)));
    }

    // How many pixels of that colour the row through y, or the column
    // through x, holds.
    int CountAcross(float y, const QColor& colour) {
        int n = 0;
        for (int c = 0; c < static_cast<int>(Wide * Scale); ++c)
            n += Near(Target->Pixel(c, Row(y)), colour);
        return n;
    }
    int CountUp(float x, const QColor& colour) {
        int n = 0;
        for (int r = 0; r < static_cast<int>(High * Scale); ++r)
            n += Near(Target->Pixel(Column(x), r), colour);
        return n;
    }

    std::optional<TGLTestFramebuffer> Target;
    TBoardState Board = InitialBoardState();
    TSceneMatrices M;
    float Bottom = 0;
};

// Seen from the side: the peg's x across, up the peg (its -z) up the picture.
const TGLMatrix Side = RotatedX(Identity(), 90);
// Seen from above: looking down the peg onto its cap and plate.
const TGLMatrix Above = RotatedX(Identity(), 180);

TEST_F(PegDrawing, RodIsPointTwoThickAndRisesFourUnitsAboveTheFootOnAPlate) {
    Board.SelectedPeg = 0;
    Draw(0, Side, -1.0f);
    // The rod: 0.4 across, from the plate's face at +0.5 up to -4.0.
    EXPECT_NEAR(CountAcross(2.0f, Selected), 16, 1);
    EXPECT_NEAR(CountUp(0.0f, Selected), 180, 1);
    EXPECT_PRED2(Near, At(0.0f, 3.97f), Selected);
    EXPECT_PRED2(Near, At(0.0f, 4.03f), Black);
    EXPECT_PRED2(Near, At(0.0f, -0.47f), Selected);
    // The plate's rim: 4 across, 0.2 deep, from +0.5 to +0.7 below the foot.
    EXPECT_NEAR(CountAcross(-0.6f, White), 160, 1);
    EXPECT_NEAR(CountUp(1.0f, White), 8, 1);
    EXPECT_PRED2(Near, At(1.0f, -0.47f), Black);
    EXPECT_PRED2(Near, At(1.0f, -0.53f), White);
    EXPECT_PRED2(Near, At(1.0f, -0.67f), White);
    EXPECT_PRED2(Near, At(1.0f, -0.73f), Black);
}

TEST_F(PegDrawing, CapClosesTheRodTopAndThePlateFaceRingsItsFoot) {
    Draw(0, Above, -2.75f);
    // The cap, 0.4 across at the rod's top; the face from 0.2 out to 2.
    EXPECT_PRED2(Near, At(0.0f, 0.0f), Selected);
    EXPECT_NEAR(DepthAt(0.0f, 0.0f), 4.0f, 0.01f);
    EXPECT_NEAR(CountAcross(0.0f, Selected), 16, 1);
    EXPECT_NEAR(CountAcross(0.0f, White), 144, 2);
    EXPECT_NEAR(DepthAt(1.0f, 0.0f), -0.5f, 0.01f);
    EXPECT_PRED2(Near, At(1.95f, 0.0f), White);
    EXPECT_PRED2(Near, At(2.05f, 0.0f), Black);
}

TEST_F(PegDrawing, OnlyTheSelectedPegIsReddishAndEveryPlateIsWhite) {
    Board.SelectedPeg = 1;
    for (int p = 0; p < PegCount; ++p) {
        Draw(p, Side, -1.0f);
        EXPECT_PRED2(Near, At(0.0f, 2.0f), p == 1 ? Selected : Grey) << "peg " << p;
        EXPECT_PRED2(Near, At(1.0f, -0.6f), White) << "peg " << p;
    }
}

} // namespace
