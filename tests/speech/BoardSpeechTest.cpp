#include "speech/BoardSpeech.h"
#include "render/Frame.h"
#include "support/SceneFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string_view>

namespace {

// The window's side of a frame, with nothing to show.
class TSilentHost : public TFrameHost {
public:
    void PlayCue(int) override {}
    void DisableGameTimer() override {}
    void BeginNameEntry() override {}
    void ReportError(const std::string&) override {}
    void SwapBuffers() override {}
};

// The frame itself runs the rules, in its own order, so a change there is
// heard here.
class BoardSpeech : public TSceneFixture {
protected:
    // Keys as the main window takes them, then the frame that follows, as
    // the game speaks it.
    std::string Press(TBoardState& board, std::string_view keys);
};

std::string BoardSpeech::Press(TBoardState& board, std::string_view keys) {
    TSilentHost host;
    TSceneMatrices matrices;
    SetUpView(300, 281, board, matrices);
    const int previous = board.SelectedPeg;
    for (const char key : keys) {
        if (key == '>')
            board.SelectedPeg = (board.SelectedPeg + 1) % PegCount;
        if (key == '<')
            board.SelectedPeg = (board.SelectedPeg + PegCount - 1) % PegCount;
        if (key == ' ')
            board.PutMode = 1 - board.PutMode;
    }
    const TBoardState before = board;
    DrawFrame(board, matrices, Quadric->Get(), host);
    return FrameSpeech(before, board, previous).Joined();
}

TEST_F(BoardSpeech, EachFrameTellsTheNewSelectionThenWhatItDidAndASolvedPuzzleItsTime) {
    const struct {
        const char* keys; // before one frame
        const char* spoken;
    } play[] = {
        {">", "Стержень 2: пусто"},
        {" ", "Стержень 2 пуст, брать нечего"},
        {"< ", "Стержень 1: кольца 5, 4, 3, 2, 1. Взято кольцо 1. Стержень 1: кольца 5, 4, 3, 2"},
        {"> ", "Стержень 2: пусто, в руке кольцо 1. Положено кольцо 1. Стержень 2: кольцо 1"},
        {"<  ", "Стержень 1: кольца 5, 4, 3, 2"}, // a lift asked for and taken back
        {" ", "Взято кольцо 2. Стержень 1: кольца 5, 4, 3"},
        {"> ", "Стержень 2: кольцо 1, в руке кольцо 2. Нельзя: кольцо 2 больше кольца 1"},
    };
    TBoardState board = InitialBoardState();
    for (const auto& step : play)
        EXPECT_EQ(Press(board, step.keys), step.spoken) << "keys '" << step.keys << "'";

    // The smallest ring carried over peg 1 while the others wait on peg 3.
    board = InitialBoardState();
    for (int i = 0; i < RingCount - 1; ++i)
        board.Rings[i].Peg = 2;
    board.Pegs[0] = {0, 0, {0}};
    board.Pegs[2] = {4, 2, {0, 5, 4, 3, 2}};
    board.CarriedRing = 4;
    board.PutMode = 0;
    board.Clock = {5, 1, 0};
    EXPECT_EQ(Press(board, "< "), "Стержень 3: кольца 5, 4, 3, 2, в руке кольцо 1. Положено "
                                  "кольцо 1. Стержень 3: кольца 5, 4, 3, 2, 1. Головоломка "
                                  "решена! Время: 1 минута 5 секунд");
}

TEST(BoardSpeechClock, ClockSaysHoursAndMinutesOnlyOnceTheyCountWithRussianPlurals) {
    const struct {
        TGameClock clock;
        const char* spoken;
    } cases[] = {
        {{0, 0, 0}, "0 секунд"},
        {{22, 2, 0}, "2 минуты 22 секунды"},
        {{11, 0, 1}, "1 час 0 минут 11 секунд"},
        {{41, 12, 3}, "3 часа 12 минут 41 секунда"},
        {{0, 0, 111}, "111 часов 0 минут 0 секунд"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClockSpeech(c.clock), c.spoken);
}

} // namespace
