#include "game/BoardState.h"

#include <gtest/gtest.h>

namespace {

void TickTimes(TBoardState& board, int n) {
    for (int i = 0; i < n; ++i)
        Tick(board);
}

TEST(BoardState, StartsWithFiveRingsOnTheLeftPegAndPutModeOn) {
    const TBoardState board = InitialBoardState();
    const float radii[RingCount] = {1.0f, 0.9f, 0.8f, 0.7f, 0.6f};
    for (int i = 0; i < RingCount; ++i) {
        EXPECT_EQ(board.Rings[i].Level, i);
        EXPECT_EQ(board.Rings[i].SizeRank, 5 - i);
        EXPECT_FLOAT_EQ(board.Rings[i].MajorRadius, radii[i]) << "ring " << i;
        EXPECT_EQ(board.Rings[i].Peg, 0);
        EXPECT_EQ(board.Rings[i].Position, i + 1);
    }
    EXPECT_EQ(board.Pegs[0].Count, 5);
    EXPECT_EQ(board.Pegs[1].Count, 0);
    EXPECT_EQ(board.Pegs[2].Count, 0);
    EXPECT_EQ(board.Pegs[0].TopSize, 1);
    EXPECT_EQ(board.Pegs[1].TopSize, 0);
    const std::int32_t startSizes[6] = {0, 5, 4, 3, 2, 1};
    for (int slot = 0; slot < 6; ++slot) {
        EXPECT_EQ(board.Pegs[0].Sizes[slot], startSizes[slot]);
        EXPECT_EQ(board.Pegs[1].Sizes[slot], 0);
        EXPECT_EQ(board.Pegs[2].Sizes[slot], 0);
    }
    EXPECT_EQ(board.SelectedPeg, 0);
    EXPECT_EQ(board.PutMode, 1);
    EXPECT_EQ(board.CarriedRing, NoRing);
    EXPECT_EQ(board.GameActive, 1);
    EXPECT_EQ(TimeText(board), "0 : 0 : 0");
}

TEST(BoardState, ResetForNewGameRestoresTheStackButKeepsPutModeAndGameActive) {
    TBoardState board = InitialBoardState();
    board.SelectedPeg = 2;
    board.PutMode = 0;
    board.GameActive = 0;
    board.CarriedRing = 3;
    board.Rings[4].Peg = 2;
    board.Rings[4].Position = 1;
    board.Pegs[0].Count = 3;
    board.Pegs[2] = TPegState{2, 1, {0, 2, 1, 0, 0, 0}};
    TickTimes(board, 3725);

    ResetForNewGame(board);

    EXPECT_EQ(board.PutMode, 0);
    EXPECT_EQ(board.GameActive, 0);
    EXPECT_EQ(board.SelectedPeg, 0);
    EXPECT_EQ(board.CarriedRing, NoRing);
    EXPECT_EQ(board.Rings[4].Peg, 0);
    EXPECT_EQ(board.Rings[4].Position, 5);
    EXPECT_EQ(board.Pegs[0].Count, 5);
    EXPECT_EQ(board.Pegs[2].Count, 0);
    EXPECT_EQ(board.Pegs[2].TopSize, 0);
    for (const TPegState& peg : board.Pegs)
        EXPECT_EQ(peg.Sizes[1], 5);
    EXPECT_EQ(TimeText(board), "0 : 0 : 0");
}

TEST(GameClock, RollsSecondsIntoMinutesAndMinutesIntoHours) {
    TBoardState board = InitialBoardState();
    TickTimes(board, 59);
    EXPECT_EQ(TimeText(board), "0 : 0 : 59");
    Tick(board);
    EXPECT_EQ(TimeText(board), "0 : 1 : 0");
    TickTimes(board, 3600 - 60);
    EXPECT_EQ(TimeText(board), "1 : 0 : 0");
    TickTimes(board, 5 * 60 + 9);
    EXPECT_EQ(TimeText(board), "1 : 5 : 9");
}

TEST(GameClock, HoursWrapAfter255) {
    TBoardState board = InitialBoardState();
    board.Clock = TGameClock{59, 59, 255};
    Tick(board);
    EXPECT_EQ(TimeText(board), "0 : 0 : 0");
}

} // namespace
