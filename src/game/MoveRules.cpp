#include "game/MoveRules.h"

bool TryLift(TBoardState& board, int i, TMoveEffects& effects) {
    TRingState& ring = board.Rings[i];
    TPegState& peg = board.Pegs[board.SelectedPeg];
    if (!(board.PutMode == 0 && board.CarriedRing == NoRing && ring.Peg == board.SelectedPeg &&
          ring.Position == peg.Count))
        return false;
    peg.Count -= 1;
    board.CarriedRing = static_cast<std::uint8_t>(i);
    peg.TopSize = peg.Sizes[peg.Count]; // the lifted ring's slot is left as it was
    effects.PlayCue(CueLifted);
    return true;
}

bool CanPlace(const TBoardState& board, int i) {
    const TPegState& peg = board.Pegs[board.SelectedPeg];
    const std::int32_t size = board.Rings[i].SizeRank;
    return board.CarriedRing == i && board.PutMode == 1 && (size < peg.TopSize || peg.TopSize == 0);
}

bool TryPlace(TBoardState& board, int i, TMoveEffects& effects) {
    if (!CanPlace(board, i))
        return false;
    TRingState& ring = board.Rings[i];
    TPegState& peg = board.Pegs[board.SelectedPeg];
    peg.Count += 1;
    ring.Position = peg.Count;
    board.CarriedRing = NoRing;
    ring.Peg = board.SelectedPeg;
    peg.Sizes[peg.Count] = ring.SizeRank;
    peg.TopSize = ring.SizeRank;
    effects.PlayCue(CuePlaced);
    return true;
}

bool CheckRefusal(TBoardState& board, int i, TMoveEffects& effects) {
    const TPegState& peg = board.Pegs[board.SelectedPeg];
    if (!(board.CarriedRing == i && board.PutMode == 1 && peg.TopSize < board.Rings[i].SizeRank))
        return false;
    board.PutMode = 0;
    effects.PlayCue(CueRefused);
    return true;
}

bool ForcePutMode(TBoardState& board) {
    if (!(board.PutMode == 0 && board.CarriedRing == NoRing &&
          board.Pegs[board.SelectedPeg].Count == 0))
        return false;
    board.PutMode = 1;
    return true;
}

bool IsSolvedPosition(const TBoardState& board) {
    return board.Pegs[1].Count == RingCount || board.Pegs[2].Count == RingCount;
}

bool CheckSolved(TBoardState& board, TMoveEffects& effects) {
    if (!(IsSolvedPosition(board) && board.GameActive == 1))
        return false;
    effects.DisableGameTimer();
    board.GameActive = 0;
    effects.PlayCue(CueSolved);
    return true;
}
