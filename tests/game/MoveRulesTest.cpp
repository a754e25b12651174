#include "game/MoveRules.h"
#include "support/RecordingEffects.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Runs the rules of one frame in the order the frame evaluates them
// (without drawing); stops where a cue throws, as the frame does.
bool RunFrameRules(TBoardState& board, TMoveEffects& fx) {
    for (int i = 0; i < RingCount; ++i) {
        TryLift(board, i, fx);
        TryPlace(board, i, fx);
        CheckRefusal(board, i, fx);
    }
    ForcePutMode(board);
    return CheckSolved(board, fx);
}

// A full move of the top ring from one peg to another, by intent and frames.
void Move(TBoardState& board, TMoveEffects& fx, int from, int to) {
    board.SelectedPeg = static_cast<std::uint8_t>(from);
    board.PutMode = 0;
    RunFrameRules(board, fx);
    board.SelectedPeg = static_cast<std::uint8_t>(to);
    board.PutMode = 1;
    RunFrameRules(board, fx);
}

void Hanoi(TBoardState& board, TMoveEffects& fx, int n, int from, int to, int via) {
    if (n == 0)
        return;
    Hanoi(board, fx, n - 1, from, via, to);
    Move(board, fx, from, to);
    Hanoi(board, fx, n - 1, via, to, from);
}

class MoveRules : public ::testing::Test {
protected:
    TBoardState Board = InitialBoardState();
    TRecordingEffects Fx;
};

TEST_F(MoveRules, NothingCarriedAndPutModeOnChangesNothingHoweverOftenDrawn) {
    const TBoardState before = Board;
    for (int frame = 0; frame < 5; ++frame)
        EXPECT_FALSE(RunFrameRules(Board, Fx));
    EXPECT_EQ(std::memcmp(&before, &Board, sizeof Board), 0);
    EXPECT_TRUE(Fx.Cues.empty());
}

TEST_F(MoveRules, FirstLiftTakesTheSmallestRingFromTheLeftPeg) {
    Board.PutMode = 0;
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Board.CarriedRing, 4);
    EXPECT_EQ(Board.Pegs[0].Count, 4);
    EXPECT_EQ(Board.Pegs[0].TopSize, 2);
    EXPECT_EQ(Board.PutMode, 0);
    EXPECT_EQ(Board.Rings[4].Peg, 0);
    EXPECT_EQ(Board.Rings[4].Position, 5);
    EXPECT_EQ(Board.Pegs[0].Sizes[5], 1) << "the lifted ring's slot is not cleared";
    EXPECT_EQ(Fx.Cues, std::vector<int>{1});

    // Carrying with PutMode 0: the ring only hovers, frame after frame.
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Board.CarriedRing, 4);
    EXPECT_EQ(Fx.Cues, std::vector<int>{1});
}

TEST_F(MoveRules, CarriedRingGoesOntoAnEmptyPeg) {
    Board.PutMode = 0;
    RunFrameRules(Board, Fx);
    Board.SelectedPeg = 1;
    Board.PutMode = 1;
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Board.CarriedRing, NoRing);
    EXPECT_EQ(Board.Pegs[1].Count, 1);
    EXPECT_EQ(Board.Pegs[1].TopSize, 1);
    EXPECT_EQ(Board.Pegs[1].Sizes[1], 1);
    EXPECT_EQ(Board.Rings[4].Peg, 1);
    EXPECT_EQ(Board.Rings[4].Position, 1);
    EXPECT_EQ(Board.PutMode, 1);
    EXPECT_EQ(Fx.Cues, (std::vector<int>{1, 3}));
}

TEST_F(MoveRules, PuttingBackOnTheSamePegIsALegalMove) {
    Board.PutMode = 0;
    RunFrameRules(Board, Fx);
    Board.PutMode = 1;
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Board.Pegs[0].Count, 5);
    EXPECT_EQ(Board.Pegs[0].TopSize, 1);
    EXPECT_EQ(Board.Rings[4].Position, 5);
    EXPECT_EQ(Fx.Cues, (std::vector<int>{1, 3}));
}

TEST_F(MoveRules, LargerRingOverSmallerIsRefusedAndKeepsHovering) {
    Move(Board, Fx, 0, 1); // ring 4 to peg 1
    Board.SelectedPeg = 0; // lift ring 3 from peg 0
    Board.PutMode = 0;
    RunFrameRules(Board, Fx);
    ASSERT_EQ(Board.CarriedRing, 3);
    Fx.Cues.clear();

    Board.SelectedPeg = 1;
    Board.PutMode = 1;
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Board.CarriedRing, 3);
    EXPECT_EQ(Board.PutMode, 0);
    EXPECT_EQ(Board.Pegs[1].Count, 1);
    EXPECT_EQ(Fx.Cues, std::vector<int>{4});

    // The refusal does not repeat on later frames.
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Fx.Cues, std::vector<int>{4});
}

TEST_F(MoveRules, PickingUpFromAnEmptyPegFallsBackToPutMode) {
    Board.SelectedPeg = 2;
    Board.PutMode = 0;
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Board.PutMode, 1);
    EXPECT_EQ(Board.CarriedRing, NoRing);
    EXPECT_TRUE(Fx.Cues.empty());
}

TEST_F(MoveRules, TwoSpacesBeforeAFrameCancelOut) {
    Board.PutMode = 1 - Board.PutMode;
    Board.PutMode = 1 - Board.PutMode;
    RunFrameRules(Board, Fx);
    EXPECT_EQ(Board.CarriedRing, NoRing);
    EXPECT_TRUE(Fx.Cues.empty());
}

TEST_F(MoveRules, ThirtyOneMovesOntoTheRightPegSolveOnce) {
    Hanoi(Board, Fx, 5, 0, 2, 1);
    EXPECT_EQ(Board.Pegs[2].Count, 5);
    EXPECT_EQ(Board.GameActive, 0);
    EXPECT_EQ(Fx.TimerStops, 1);
    ASSERT_EQ(Fx.Cues.size(), 63u);
    EXPECT_EQ(Fx.Cues.back(), 5);
    for (int ring = 0; ring < RingCount; ++ring) {
        EXPECT_EQ(Board.Rings[ring].Peg, 2);
        EXPECT_EQ(Board.Rings[ring].Position, ring + 1);
    }
    // Later frames are silent.
    EXPECT_FALSE(RunFrameRules(Board, Fx));
    EXPECT_EQ(Fx.Cues.size(), 63u);
}

TEST_F(MoveRules, FiveRingsOnTheMiddlePegAlsoSolveButBackOnTheLeftDoNot) {
    Hanoi(Board, Fx, 5, 0, 1, 2);
    EXPECT_EQ(Board.GameActive, 0);
    EXPECT_EQ(Fx.Cues.back(), 5);

    TBoardState other = InitialBoardState();
    TRecordingEffects fx;
    Move(other, fx, 0, 0);
    EXPECT_EQ(other.GameActive, 1);
    EXPECT_FALSE(IsSolvedPosition(other));
}

} // namespace
