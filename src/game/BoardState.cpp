#include "game/BoardState.h"

TBoardState InitialBoardState() {
    TBoardState board{};
    for (std::int32_t i = 0; i < RingCount; ++i) {
        TRingState& ring = board.Rings[i];
        ring.Level = i;
        ring.SizeRank = RingCount - i;
        ring.MajorRadius = 1.0f - 0.1f * static_cast<float>(i);
    }
    board.PutMode = 1;
    board.GameActive = 1;
    ResetForNewGame(board);
    // At program start only peg 0 has its ranks filled in; New game fills all three.
    for (std::int32_t p = 1; p < PegCount; ++p)
        for (std::int32_t& size : board.Pegs[p].Sizes)
            size = 0;
    return board;
}

void ResetForNewGame(TBoardState& board) {
    board.SelectedPeg = 0;
    for (std::int32_t i = 0; i < RingCount; ++i) {
        board.Rings[i].Position = i + 1;
        board.Rings[i].Peg = 0;
    }
    board.CarriedRing = NoRing;
    for (std::int32_t p = 0; p < PegCount; ++p) {
        TPegState& peg = board.Pegs[p];
        peg.Count = p == 0 ? RingCount : 0;
        peg.TopSize = p == 0 ? 1 : 0;
        // Every peg gets the starting stack's ranks: slots above Count are never read.
        peg.Sizes[0] = 0;
        for (std::int32_t slot = 1; slot <= RingCount; ++slot)
            peg.Sizes[slot] = RingCount + 1 - slot;
    }
    board.Clock = TGameClock{0, 0, 0};
}

void Tick(TBoardState& board) {
    TGameClock& clock = board.Clock;
    clock.Seconds += 1;
    if (clock.Seconds == 60) {
        clock.Minutes += 1;
        clock.Seconds = 0;
    }
    if (clock.Minutes == 60) {
        clock.Hours += 1; // a byte: wraps from 255 to 0
        clock.Minutes = 0;
    }
}

std::string TimeText(const TBoardState& board) {
    const TGameClock& clock = board.Clock;
    return std::to_string(clock.Hours) + " : " + std::to_string(clock.Minutes) + " : " +
           std::to_string(clock.Seconds);
}
