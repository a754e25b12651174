#pragma once

#include "game/BoardState.h"

#include <string>

// The board in words, for players who listen instead of look: short Russian
// sentences (UTF-8) that stay the same from release to release. Pegs are
// numbered 1 to 3 from the left, rings by size, 1 the smallest, 5 the largest.

// "Стержень 1: кольца 5, 4, 3", "Стержень 2: пусто", with ", в руке кольцо 1"
// on the peg the carried ring hovers over.
std::string PegSpeech(const TBoardState& board, int peg);

// The game time as a listener wants it: "1 час 2 минуты 5 секунд". Hours only
// once they are not zero, minutes once the hours or the minutes are not zero
// ("1 час 0 минут 11 секунд", "2 минуты 22 секунды", "0 секунд").
std::string ClockSpeech(const TGameClock& clock);

// A time as the records keep it, "0 : 4 : 33", as ClockSpeech says it; any
// other text as it is.
std::string RecordTimeSpeech(const std::string& time);

// "Головоломка решена! Время: 1 минута 5 секунд".
std::string SolvedSpeech(const TGameClock& clock);

// The whole board on demand: the selected peg, every peg and the clock.
std::string BoardSpeech(const TBoardState& board);

// What one frame did, from the board as the frame found it (the keys already
// applied) to the board it left. Selection is the newly selected peg as the
// frame found it, when it differs from previousPeg; Action is the lift, the
// put-down, the refusal with its reason, the empty peg, and the solved puzzle
// with its time.
struct TFrameSpeech {
    std::string Selection;
    std::string Action;
    // Both, as one utterance.
    std::string Joined() const;
};
TFrameSpeech FrameSpeech(const TBoardState& before, const TBoardState& after, int previousPeg);
