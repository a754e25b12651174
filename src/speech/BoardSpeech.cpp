#include "speech/BoardSpeech.h"

#include <cstdint>
#include <cstdio>

namespace {

std::string PegNumber(int peg) {
    return std::to_string(peg + 1);
}

std::string RingNumber(const TBoardState& board, int ring) {
    return std::to_string(board.Rings[ring].SizeRank);
}

// What stands on the peg, bottom to top, without the carried ring.
std::string PegRings(const TBoardState& board, int peg) {
    const TPegState& state = board.Pegs[peg];
    if (state.Count <= 0)
        return "пусто";
    std::string text = state.Count == 1 ? "кольцо " : "кольца ";
    for (int slot = 1; slot <= state.Count; ++slot) {
        if (slot > 1)
            text += ", ";
        text += std::to_string(state.Sizes[slot]);
    }
    return text;
}

std::string PegRingsSpeech(const TBoardState& board, int peg) {
    return "Стержень " + PegNumber(peg) + ": " + PegRings(board, peg);
}

bool Carrying(const TBoardState& board) {
    return board.CarriedRing < RingCount;
}

// Russian plural forms: 1 минута, 2 минуты, 5 минут; 11 to 14 take the third.
std::string Counted(int n, const char* one, const char* few, const char* many) {
    const int tens = n % 100;
    const int units = n % 10;
    const char* word = many;
    if (units == 1 && tens != 11)
        word = one;
    else if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        word = few;
    return std::to_string(n) + " " + word;
}

} // namespace

std::string PegSpeech(const TBoardState& board, int peg) {
    std::string text = PegRingsSpeech(board, peg);
    if (Carrying(board) && board.SelectedPeg == peg)
        text += ", в руке кольцо " + RingNumber(board, board.CarriedRing);
    return text;
}

std::string ClockSpeech(const TGameClock& clock) {
    std::string text;
    if (clock.Hours > 0)
        text += Counted(clock.Hours, "час", "часа", "часов") + " ";
    if (clock.Hours > 0 || clock.Minutes > 0)
        text += Counted(clock.Minutes, "минута", "минуты", "минут") + " ";
    return text + Counted(clock.Seconds, "секунда", "секунды", "секунд");
}

std::string RecordTimeSpeech(const std::string& time) {
    int hours = 0, minutes = 0, seconds = 0, end = 0;
    if (std::sscanf(time.c_str(), "%d : %d : %d%n", &hours, &minutes, &seconds, &end) != 3 ||
        end != static_cast<int>(time.size()) || hours < 0 || hours > 255 || minutes < 0 ||
        minutes > 59 || seconds < 0 || seconds > 59)
        return time;
    return ClockSpeech(TGameClock{static_cast<std::uint8_t>(seconds),
                                  static_cast<std::uint8_t>(minutes),
                                  static_cast<std::uint8_t>(hours)});
}

std::string SolvedSpeech(const TGameClock& clock) {
    return "Головоломка решена! Время: " + ClockSpeech(clock);
}

std::string BoardSpeech(const TBoardState& board) {
    std::string text = "Выбран стержень " + PegNumber(board.SelectedPeg) + ". ";
    for (int peg = 0; peg < PegCount; ++peg)
        text += PegSpeech(board, peg) + ". ";
    return text + "Время: " + ClockSpeech(board.Clock);
}

std::string TFrameSpeech::Joined() const {
    if (Selection.empty() || Action.empty())
        return Selection + Action;
    return Selection + ". " + Action;
}

TFrameSpeech FrameSpeech(const TBoardState& before, const TBoardState& after, int previousPeg) {
    TFrameSpeech speech;
    const int peg = after.SelectedPeg;
    if (peg != previousPeg)
        speech.Selection = PegSpeech(before, peg);

    std::string& action = speech.Action;
    if (!Carrying(before) && Carrying(after)) {
        action = "Взято кольцо " + RingNumber(after, after.CarriedRing) + ". " +
                 PegRingsSpeech(after, peg);
    } else if (Carrying(before) && !Carrying(after)) {
        action = "Положено кольцо " + RingNumber(before, before.CarriedRing) + ". " +
                 PegRingsSpeech(after, peg);
    } else if (Carrying(after) && before.PutMode == 1 && after.PutMode == 0) {
        action = "Нельзя: кольцо " + RingNumber(after, after.CarriedRing) + " больше кольца " +
                 std::to_string(after.Pegs[peg].TopSize);
    } else if (!Carrying(before) && before.PutMode == 0 && after.PutMode == 1) {
        action = "Стержень " + PegNumber(peg) + " пуст, брать нечего";
    }
    if (before.GameActive == 1 && after.GameActive == 0) {
        const std::string solved = SolvedSpeech(after.Clock);
        action = action.empty() ? solved : action + ". " + solved;
    }
    return speech;
}
