#include "render/Frame.h"
#include "game/MoveRules.h"
#include "support/MatrixMath.h"
#include "support/SceneFixture.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <vector>

namespace {

using namespace MatrixMath;

class TRecordingHost : public TFrameHost {
public:
    void PlayCue(int cue) override {
        Cues.push_back(cue);
        if (FailingCues.count(cue))
            throw std::runtime_error("Dizo" + std::to_string(cue) + ".wav is missing");
    }
    void DisableGameTimer() override { ++TimerStops; }
    void BeginNameEntry() override { ++NameEntries; }
    void ReportError(const std::string& text) override { Errors.push_back(text); }
    void SwapBuffers() override { ++Swaps; }

    std::vector<int> Cues;
    std::set<int> FailingCues;
    std::vector<std::string> Errors;
    int TimerStops = 0, NameEntries = 0, Swaps = 0;
};

class Frame : public TSceneFixture {
protected:
    void SetUp() override {
        TSceneFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        SetUpView(300, 281, Board, M);
    }
    void Draw() { DrawFrame(Board, M, Quadric->Get(), Host); }

    TBoardState Board = InitialBoardState();
    TSceneMatrices M;
    TRecordingHost Host;
};

TEST(FrameValues, RingColoursAreComputedUnclamped) {
    const float expected[5][3] = {{1.05f, 0.5f, 0.290909f},
                                  {1.2f, 0.6f, 0.381818f},
                                  {1.3f, 0.7f, 0.472727f},
                                  {1.371429f, 0.8f, 0.563636f},
                                  {1.425f, 0.9f, 0.654545f}};
    for (int level = 0; level < 5; ++level) {
        const auto c = RingColour(level);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(c[k], expected[level][k], 1e-5) << "ring " << level;
    }
}

TEST_F(Frame, PegMatricesStandThreeUnitsApartAndIdleFramesChangeNothing) {
    const TSceneMatrices before = M;
    Draw();
    Draw();
    EXPECT_MATRIX_NEAR(M.PegMatrix[0], Translated(M.BaseView, -3, 0, 0));
    EXPECT_MATRIX_NEAR(M.PegMatrix[1], M.BaseView);
    EXPECT_MATRIX_NEAR(M.PegMatrix[2], Translated(M.BaseView, 3, 0, 0));
    for (int i = 0; i < RingCount; ++i)
        EXPECT_MATRIX_NEAR(M.RingCurrent[i], before.RingCurrent[i]);
    EXPECT_MATRIX_NEAR(M.BaseView, before.BaseView);
    EXPECT_EQ(Host.Swaps, 2);
    EXPECT_TRUE(Host.Cues.empty());
}

TEST_F(Frame, CarriedRingsHoverHigherTheLargerTheyAre) {
    const float offsets[5] = {-5.0f, -4.75f, -4.5f, -4.25f, -4.0f};
    for (int i = 0; i < RingCount; ++i) {
        EXPECT_FLOAT_EQ(CarriedOffset(i, i), offsets[i]);
        Board.CarriedRing = static_cast<std::uint8_t>(i);
        Board.PutMode = 0;
        Board.SelectedPeg = static_cast<std::uint8_t>(i % 3);
        Draw();
        EXPECT_MATRIX_NEAR(M.RingCurrent[i], Translated(M.PegMatrix[i % 3], 0, 0, offsets[i]));
    }
}

TEST_F(Frame, LiftedRingFollowsTheSelectionAndLandsAtTheNextSlot) {
    Board.PutMode = 0;
    Draw(); // lift ring 4
    EXPECT_EQ(Host.Cues, std::vector<int>{1});
    EXPECT_MATRIX_NEAR(M.RingCurrent[4], Translated(M.PegMatrix[0], 0, 0, -4.0f));

    Board.SelectedPeg = 2;
    Draw();
    EXPECT_MATRIX_NEAR(M.RingCurrent[4], Translated(M.PegMatrix[2], 0, 0, -4.0f));

    Board.PutMode = 1;
    Draw(); // onto the empty peg: slot 0, whatever its size
    EXPECT_MATRIX_NEAR(M.RingCurrent[4], M.PegMatrix[2]);

    Board.SelectedPeg = 0;
    Board.PutMode = 0;
    Draw(); // lift ring 3
    Board.SelectedPeg = 1;
    Board.PutMode = 1;
    Draw();
    EXPECT_MATRIX_NEAR(M.RingCurrent[3], M.PegMatrix[1]);

    // Ring 4 onto ring 3: one ring already there, 0.75 up the peg.
    Board.SelectedPeg = 2;
    Board.PutMode = 0;
    Draw();
    Board.SelectedPeg = 1;
    Board.PutMode = 1;
    Draw();
    EXPECT_MATRIX_NEAR(M.RingCurrent[4], Translated(M.PegMatrix[1], 0, 0, -0.75f));
    EXPECT_EQ(Host.Cues, (std::vector<int>{1, 3, 1, 3, 1, 3}));
}

TEST_F(Frame, FailingCueEndsTheFrameWithTheRingDrawnWhereTheBoardPutsIt) {
    Host.FailingCues = {1, 3};
    Board.PutMode = 0;
    EXPECT_THROW(Draw(), std::runtime_error); // the lift's cue fails
    EXPECT_EQ(Board.CarriedRing, 4);
    EXPECT_EQ(Board.Pegs[0].Count, 4);
    EXPECT_EQ(Host.Swaps, 0);
    EXPECT_MATRIX_NEAR(M.RingCurrent[4], Translated(M.PegMatrix[0], 0, 0, -4.0f)); // hovering
    TGLMatrix current;
    CaptureModelview(current);
    EXPECT_MATRIX_NEAR(current, M.BaseView);

    Board.SelectedPeg = 2;
    Draw();
    EXPECT_EQ(Host.Swaps, 1);
    Board.PutMode = 1;
    EXPECT_THROW(Draw(), std::runtime_error); // the put-down's cue fails
    EXPECT_EQ(Board.CarriedRing, NoRing);
    EXPECT_EQ(Board.Rings[4].Peg, 2);
    EXPECT_MATRIX_NEAR(M.RingCurrent[4], M.PegMatrix[2]); // standing on its peg
    CaptureModelview(current);
    EXPECT_MATRIX_NEAR(current, M.BaseView);

    // Nothing else changed, and the next frame starts from the camera.
    const TGLMatrix camera = M.BaseView;
    const TSceneMatrices after = M;
    Draw();
    EXPECT_MATRIX_NEAR(M.BaseView, camera);
    for (int i = 0; i < RingCount; ++i)
        EXPECT_MATRIX_NEAR(M.RingCurrent[i], after.RingCurrent[i]);
    EXPECT_EQ(Host.Swaps, 2);
    EXPECT_EQ(Host.Cues, (std::vector<int>{1, 3}));
}

TEST_F(Frame, SolvedFrameOpensTheNameEntryOnceEvenWhenItsCueFails) {
    Host.FailingCues = {5};
    // Four rings already on peg 2, the last one carried above it.
    for (int i = 0; i < RingCount; ++i) {
        Board.Rings[i].Peg = 2;
        Board.Rings[i].Position = i + 1;
        Board.Pegs[2].Sizes[i + 1] = 5 - i;
    }
    Board.Pegs[0].Count = 0;
    Board.Pegs[0].TopSize = 0;
    Board.Pegs[2].Count = 4;
    Board.Pegs[2].TopSize = 2;
    Board.CarriedRing = 4;
    Board.SelectedPeg = 2;
    Board.PutMode = 1;

    Draw();
    EXPECT_EQ(Host.Cues, (std::vector<int>{3, 5}));
    EXPECT_EQ(Host.Errors.size(), 1u);
    EXPECT_EQ(Host.NameEntries, 1);
    EXPECT_EQ(Host.TimerStops, 1);
    EXPECT_EQ(Board.GameActive, 0);
    EXPECT_EQ(Host.Swaps, 1);

    Draw();
    EXPECT_EQ(Host.NameEntries, 1);
    EXPECT_EQ(Host.Errors.size(), 1u);
    EXPECT_EQ(Host.Swaps, 2);
}

} // namespace
