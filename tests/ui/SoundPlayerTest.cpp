#include "ui/SoundPlayer.h"

#include "support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

std::string ErrorOf(TSoundPlayer& player, int cue) {
    try {
        player.PlayCue(cue);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

// The queue loses at most a few device buffers (512 bytes each here) while
// the test looks at it.
void ExpectQueued(const TSoundPlayer& player, std::uint32_t bytes) {
    EXPECT_LE(player.QueuedBytes(), bytes);
    EXPECT_GT(player.QueuedBytes() + 2048, bytes);
}

class SoundPlayerTest : public ::testing::Test {
protected:
    TTempWorkDir WorkDir;
    TSoundPlayer Player;
};

TEST_F(SoundPlayerTest, CuesPlayTheirOwnFileAndOtherNumbersReplayTheLast) {
    EXPECT_EQ(Player.FileName(), "");
    std::uint32_t length[6] = {};
    for (int cue = 1; cue <= 5; ++cue)
        length[cue] = WriteTestWav(QString("Dizo%1.wav").arg(cue), 8000, cue);
    for (int cue = 1; cue <= 5; ++cue) {
        Player.PlayCue(cue);
        EXPECT_EQ(Player.FileName(), "Dizo" + std::to_string(cue) + ".wav");
        ExpectQueued(Player, length[cue]);
    }
    Player.PlayCue(2);
    for (const int other : {0, 6, -1}) {
        Player.PlayCue(other);
        EXPECT_EQ(Player.FileName(), "Dizo2.wav") << other;
        ExpectQueued(Player, length[2]);
    }
}

TEST_F(SoundPlayerTest, LoadFailuresCarrySdlsTextAndThePlayerGoesOn) {
    EXPECT_NE(ErrorOf(Player, 0), ""); // no cue yet, so no file to play

    const std::string missing = ErrorOf(Player, 3);
    EXPECT_NE(missing.find("Couldn't open"), std::string::npos) << missing;
    EXPECT_NE(missing.find("Dizo3.wav"), std::string::npos) << missing;

    const std::uint32_t length = WriteTestWav("Dizo3.wav", 8000, 2);
    Player.PlayCue(3);
    ExpectQueued(Player, length);
    EXPECT_NE(ErrorOf(Player, 4), "");
    Player.PlayCue(3);
    EXPECT_EQ(Player.DeviceOpens(), 1);
}

TEST_F(SoundPlayerTest, NewCueCutsOffTheOneStillPlaying) {
    const std::uint32_t longer = WriteTestWav("Dizo1.wav", 8000, 5);
    const std::uint32_t shorter = WriteTestWav("Dizo2.wav", 8000, 1);
    Player.PlayCue(1);
    ExpectQueued(Player, longer);
    Player.PlayCue(2);
    ExpectQueued(Player, shorter);
}

TEST_F(SoundPlayerTest, CueReturnsAtOnceAndPlaysOutInTheBackground) {
    WriteTestWav("Dizo5.wav", 8000, 1);
    const auto start = std::chrono::steady_clock::now();
    Player.PlayCue(5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    const auto deadline = start + std::chrono::seconds(4);
    while (Player.QueuedBytes() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(Player.QueuedBytes(), 0u);
    EXPECT_TRUE(Player.DeviceOpen());
}

TEST_F(SoundPlayerTest, DeviceIsReopenedOnlyForAnotherFormat) {
    const std::uint32_t slow = WriteTestWav("Dizo1.wav", 8000, 2);
    WriteTestWav("Dizo2.wav", 8000, 1);
    const std::uint32_t fast = WriteTestWav("Dizo3.wav", 11025, 2);
    Player.PlayCue(1);
    Player.PlayCue(2);
    EXPECT_EQ(Player.DeviceOpens(), 1);
    Player.PlayCue(3);
    EXPECT_EQ(Player.DeviceOpens(), 2);
    ExpectQueued(Player, fast);
    Player.PlayCue(1);
    EXPECT_EQ(Player.DeviceOpens(), 3);
    ExpectQueued(Player, slow);
}

TEST_F(SoundPlayerTest, FileIsLookedUpInTheWorkingDirectoryOfEachCue) {
    const std::uint32_t here = WriteTestWav("Dizo1.wav", 8000, 1);
    Player.PlayCue(1);
    {
        const TTempWorkDir elsewhere;
        const std::uint32_t there = WriteTestWav("Dizo1.wav", 8000, 3);
        Player.PlayCue(1);
        ExpectQueued(Player, there);
    }
    Player.PlayCue(1);
    ExpectQueued(Player, here);
}

TEST_F(SoundPlayerTest, TerminalSignalsStillReachTheGame) {
    const auto handler = [](int signal) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        return action.sa_handler;
    };
    const auto interrupt = handler(SIGINT);
    const auto terminate = handler(SIGTERM);
    WriteTestWav("Dizo1.wav");
    Player.PlayCue(1);
    EXPECT_EQ(handler(SIGINT), interrupt);
    EXPECT_EQ(handler(SIGTERM), terminate);
}

} // namespace
