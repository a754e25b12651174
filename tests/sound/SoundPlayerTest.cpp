#include "sound/SoundPlayer.h"
#include "app/ExitDeadline.h"

#include "support/TempWorkDir.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;

std::string ErrorOf(TSoundPlayer& player, int cue) {
    try {
        player.PlayCue(cue);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

// The device opens in the background: cues until one tells of its failure.
std::string FirstFailure(TSoundPlayer& player, int cue) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (std::string error = ErrorOf(player, cue); !error.empty())
            return error;
        std::this_thread::sleep_for(10ms);
    }
    return {};
}

// A WAV file of one constant sample value, in any PCM layout.
void WriteConstantWav(const QString& path, int rate, int channels, int bits, int value,
                      std::chrono::milliseconds length) {
    const int frames = static_cast<int>(rate * length.count() / 1000);
    QByteArray data;
    for (int i = 0; i < frames * channels; ++i) {
        if (bits == 8) {
            data.append(static_cast<char>(value + 128));
        } else {
            const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
            data.append(static_cast<char>(v & 0xFF));
            data.append(static_cast<char>(v >> 8));
        }
    }
    const auto put = [](QByteArray& out, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const int blockAlign = channels * bits / 8;
    QByteArray wav("RIFF");
    put(wav, 36 + static_cast<std::uint32_t>(data.size()), 4);
    wav.append("WAVEfmt ");
    put(wav, 16, 4);
    put(wav, 1, 2);
    put(wav, static_cast<std::uint32_t>(channels), 2);
    put(wav, static_cast<std::uint32_t>(rate), 4);
    put(wav, static_cast<std::uint32_t>(rate * blockAlign), 4);
    put(wav, static_cast<std::uint32_t>(blockAlign), 2);
    put(wav, static_cast<std::uint32_t>(bits), 2);
    wav.append("data");
    put(wav, static_cast<std::uint32_t>(data.size()), 4);
    wav.append(data);
    WriteFileBytes(path, wav);
}

// One stretch of the output holding one value.
struct TSegment {
    int Value;
    double Seconds;
};

// SDL's disk driver writes what a player would hear into a file, in real
// time, in the format the player asks for (16-bit stereo at 44100 Hz here).
class TDiskAudio {
public:
    TDiskAudio() : File(Dir.filePath("heard.raw")) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", File.toLocal8Bit().constData(), 1);
    }
    ~TDiskAudio() { setenv("SDL_AUDIODRIVER", "dummy", 1); }
    TDiskAudio(const TDiskAudio&) = delete;
    TDiskAudio& operator=(const TDiskAudio&) = delete;

    bool Exists() const { return QFile::exists(File); }

    // Whether the value has been heard for the given time.
    bool HasHeard(int value, double seconds = 0) const {
        const std::vector<TSegment> heard = Heard({0, value});
        return std::any_of(heard.begin(), heard.end(), [&](const TSegment& s) {
            return s.Value == value && s.Seconds >= seconds;
        });
    }
    bool WaitToHear(int value, double seconds = 0) const {
        return QTest::qWaitFor([&] { return HasHeard(value, seconds); }, 5000);
    }

    // Waits until this many cues of the given values have been heard, the
    // last one to its end.
    bool WaitForCues(const std::vector<int>& values, std::size_t count) const {
        return QTest::qWaitFor(
            [&] {
                std::vector<TSegment> heard = Heard(values);
                const bool ended = !heard.empty() && heard.back().Value == 0;
                std::erase_if(heard, [](const TSegment& s) { return s.Value == 0; });
                return ended && heard.size() >= count;
            },
            5000);
    }

    // The output as runs of the given cue values; silence is 0. The edges the
    // resampler rounds off are left out.
    std::vector<TSegment> Heard(const std::vector<int>& values) const {
        const QByteArray raw = ReadFileBytes(File);
        std::vector<TSegment> heard;
        constexpr double FrameSeconds = 1.0 / 44100;
        for (qsizetype at = 0; at + 4 <= raw.size(); at += 4) {
            std::int16_t left = 0;
            std::memcpy(&left, raw.constData() + at, 2);
            std::optional<int> value;
            for (const int v : values)
                if (std::abs(left - v) <= std::abs(v) / 20 + 8)
                    value = v;
            if (!value)
                continue;
            if (!heard.empty() && heard.back().Value == *value)
                heard.back().Seconds += FrameSeconds;
            else if (!heard.empty() && heard.back().Seconds < 0.002)
                heard.back() = {*value, FrameSeconds}; // a ripple of the resampler
            else
                heard.push_back({*value, FrameSeconds});
        }
        return heard;
    }

private:
    QTemporaryDir Dir;
    QString File;
};

// Cue files in every layout SDL reads: 8 and 16 bits, mono and stereo, any rate.
constexpr int First = 4096, Second = -3000;

class SoundPlayerTest : public ::testing::Test {
protected:
    TTempWorkDir WorkDir;
};

TEST_F(SoundPlayerTest, PlayerHearsEachCueInItsOwnFormatAndANewCueCutsOffTheOld) {
    const TDiskAudio audio;
    WriteConstantWav("Dizo1.wav", 8000, 1, 8, First / 256, 2000ms);
    WriteConstantWav("Dizo2.wav", 22050, 2, 16, Second, 100ms);
    {
        TSoundPlayer player;
        player.OpenDevice();
        player.PlayCue(1); // plays once the device is open
        EXPECT_EQ(player.FileName(), "Dizo1.wav");
        ASSERT_TRUE(audio.WaitToHear(First, 0.15));
        player.PlayCue(2);
        EXPECT_EQ(player.FileName(), "Dizo2.wav");
        ASSERT_TRUE(audio.WaitForCues({0, First, Second}, 2));
    }
    // One device all along: reopening it would have started a new file. The
    // cue asked for while the device opened may come before its first silence.
    std::vector<TSegment> heard = audio.Heard({0, First, Second});
    if (!heard.empty() && heard.front().Value == 0)
        heard.erase(heard.begin());
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].Value, First);
    EXPECT_GT(heard[0].Seconds, 0.1);
    EXPECT_LT(heard[0].Seconds, 1.5) << "the first cue was not cut off";
    EXPECT_EQ(heard[1].Value, Second);
    EXPECT_NEAR(heard[1].Seconds, 0.1, 0.01);
    EXPECT_EQ(heard[2].Value, 0);
}

TEST_F(SoundPlayerTest, OtherNumbersReplayTheLastFileLookedUpInTheWorkingDirectoryOfEachCue) {
    const TDiskAudio audio;
    WriteConstantWav("Dizo3.wav", 11025, 1, 16, First, 50ms);
    constexpr int Third = 2000;
    {
        TSoundPlayer player;
        player.OpenDevice();
        player.PlayCue(3);
        const std::vector<int> values{0, First, Second, Third};
        ASSERT_TRUE(audio.WaitForCues(values, 1));
        {
            const TTempWorkDir elsewhere;
            WriteConstantWav("Dizo3.wav", 11025, 1, 16, Second, 50ms);
            player.PlayCue(0);
            EXPECT_EQ(player.FileName(), "Dizo3.wav");
            ASSERT_TRUE(audio.WaitForCues(values, 2));
        }
        player.PlayCue(6);
        ASSERT_TRUE(audio.WaitForCues(values, 3));
        // Replaced by a file of the same size: played as it is now.
        WriteConstantWav("Dizo3.wav", 11025, 1, 16, Third, 50ms);
        player.PlayCue(3);
        ASSERT_TRUE(audio.WaitForCues(values, 4));
    }
    std::vector<int> order;
    for (const TSegment& s : audio.Heard({0, First, Second, Third}))
        if (s.Value != 0)
            order.push_back(s.Value);
    EXPECT_EQ(order, (std::vector<int>{First, Second, First, Third}));
}

TEST_F(SoundPlayerTest, MissingFilesAreReportedOnEveryCueInRussianWithSdlsTextAsCause) {
    TSoundPlayer player;
    // No cue yet, so no file to play; told at once or, while SDL is still
    // being loaded, at the next cue.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ErrorOf(player, 0).empty(); }, 5000));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string missing = ErrorOf(player, 3);
        EXPECT_EQ(missing.rfind("Не найден звуковой файл Dizo3.wav: Couldn't open", 0), 0u)
            << missing;
    }
    WriteConstantWav("Dizo3.wav", 8000, 1, 8, 10, 10ms);
    EXPECT_EQ(ErrorOf(player, 3), "");
    WriteFileBytes("Dizo4.wav", "RIFF, but not a wave");
    EXPECT_NE(ErrorOf(player, 4), "");
    EXPECT_EQ(ErrorOf(player, 3), "");
    // A cue played before and removed since is reported like one never there.
    QFile::remove("Dizo3.wav");
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_NE(ErrorOf(player, 3).find("Couldn't open"), std::string::npos);
}

TEST_F(SoundPlayerTest, WithoutADeviceThePlayerIsToldOnceAndTheNextGameTriesAgain) {
    WriteConstantWav("Dizo1.wav", 8000, 1, 8, First / 256, 100ms);
    setenv("SDL_AUDIODRIVER", "no-such-sound-system", 1);
    std::optional<TSoundPlayer> player(std::in_place);
    player->OpenDevice();
    const std::string failure = FirstFailure(*player, 1);
    EXPECT_NE(failure.find("no-such-sound-system"), std::string::npos) << failure;
    // A sound system that comes up meanwhile is found at the next game, not
    // by the cues before it.
    const TDiskAudio audio;
    for (int cue = 0; cue < 20; ++cue)
        EXPECT_EQ(ErrorOf(*player, 1), "");
    EXPECT_NE(ErrorOf(*player, 2), "") << "a missing file is still reported";
    EXPECT_FALSE(audio.Exists()) << "tried again before the next game";
    player->OpenDevice();
    player->PlayCue(1);
    ASSERT_TRUE(audio.WaitForCues({0, First}, 1));
    player.reset();
    std::vector<TSegment> heard = audio.Heard({0, First});
    std::erase_if(heard, [](const TSegment& s) { return s.Value == 0; });
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_NEAR(heard[0].Seconds, 0.1, 0.01);
}

TEST_F(SoundPlayerTest, ADeviceThatStoppedIsReplacedWithoutHoldingUpTheCue) {
    WriteConstantWav("Dizo1.wav", 8000, 1, 8, First / 256, 100ms);
    // A device whose every write fails stops at once, as an unplugged one:
    // no file may grow meanwhile (a device file such as /dev/full is refused
    // by SDL 3, which SDL 2 runs on in Debian testing).
    const QTemporaryDir dir;
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.filePath("stopped.raw").toLocal8Bit().constData(), 1);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit sizeLimit{};
    getrlimit(RLIMIT_FSIZE, &sizeLimit);
    rlimit noGrowth = sizeLimit;
    noGrowth.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &noGrowth);
    TSoundPlayer player;
    player.OpenDevice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(dir.filePath("stopped.raw")); }, 5000));
    const TDiskAudio audio; // where the next device plays
    // The keys go on until the cue is heard; the file may grow once the
    // stopped device has been replaced.
    std::chrono::steady_clock::duration longest{};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (audio.Exists())
                setrlimit(RLIMIT_FSIZE, &sizeLimit);
            const auto start = std::chrono::steady_clock::now();
            player.PlayCue(1);
            longest = std::max(longest, std::chrono::steady_clock::now() - start);
            return audio.HasHeard(First);
        },
        5000));
    setrlimit(RLIMIT_FSIZE, &sizeLimit);
    // A safety net far above a cue's own work: a cue that waited for the
    // replacement would wait for SDL's whole open.
    EXPECT_LT(longest, 1s) << "a cue waited for the device";
}

// SDL's threads that feed an open audio device, in this process.
int AudioDeviceThreads() {
    int count = 0;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (ReadFileBytes("/proc/self/task/" + task + "/comm").startsWith("SDLAudio"))
            ++count;
    return count;
}

TEST_F(SoundPlayerTest, ASilentDeviceClosesAndTheNextCueOpensItAndPlays) {
    WriteConstantWav("Dizo1.wav", 8000, 1, 8, First / 256, 50ms);
    WriteConstantWav("Dizo2.wav", 8000, 1, 16, Second, 50ms);
    const TDiskAudio audio;
    TSoundPlayer player(100ms);
    player.OpenDevice();
    player.PlayCue(1);
    ASSERT_TRUE(audio.WaitForCues({0, First}, 1));
    EXPECT_TRUE(QTest::qWaitFor([] { return AudioDeviceThreads() == 0; }, 5000))
        << "the device is still open";
    player.PlayCue(2);
    EXPECT_TRUE(audio.WaitForCues({0, Second}, 1)) << "the cue after the silence was lost";
}

bool SdlIsMapped() {
    std::ifstream maps("/proc/self/maps");
    const std::string text((std::istreambuf_iterator<char>(maps)), {});
    return text.find("libSDL2") != std::string::npos;
}

// Taken before main, as the game's own start would find it.
const bool SdlMappedAtStart = SdlIsMapped();

// Mended: cues read their files through SDL while the player's thread set
// SDL's hint, unlocked in SDL 2 (a race for tools/test-threads.sh to see).
TEST_F(SoundPlayerTest, SdlIsLoadedOnlyWhenTheGameAsksForSoundAndCuesMeanwhileNeverRaceIt) {
    WriteConstantWav("Dizo1.wav", 8000, 1, 8, First / 256, 50ms);
    const TDiskAudio audio;
    EXPECT_FALSE(SdlMappedAtStart) << "the program starts with SDL loaded";
    TSoundPlayer player;
    player.OpenDevice();
    for (const auto until = std::chrono::steady_clock::now() + 300ms;
         std::chrono::steady_clock::now() < until;)
        player.PlayCue(1);
    ASSERT_TRUE(audio.WaitForCues({0, First}, 1));
    EXPECT_TRUE(SdlIsMapped());
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
    const TDiskAudio audio;
    TSoundPlayer player;
    player.OpenDevice();
    ASSERT_TRUE(QTest::qWaitFor([&] { return audio.Exists(); }, 2000)) << "no device";
    EXPECT_EQ(handler(SIGINT), interrupt);
    EXPECT_EQ(handler(SIGTERM), terminate);
}

TEST_F(SoundPlayerTest, QuittingTakesUnderASecondWhileTheSoundServerNeverAnswers) {
    // A sound server that takes the connection and never answers: SDL
    // waits in its open for as long as the server likes.
    QLocalServer server;
    ASSERT_TRUE(server.listen(WorkDir.Path("pulse")));
    QProcess game;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SDL_AUDIODRIVER", "pulseaudio");
    environment.insert("PULSE_SERVER", "unix:" + server.fullServerName());
    game.setProcessEnvironment(environment);
    game.start(TARVIN_GAME_PATH);
    ASSERT_TRUE(server.waitForNewConnection(20000)) << "the game did not open the sound device";
    // The game's window, closed with Escape as a player quits.
    const int keyed = QProcess::execute(
        "sh", {"-c", "xdotool windowfocus --sync \"$(xdotool search --sync --onlyvisible --name "
                     "'^Тарвин$' | head -1)\" key Escape"});
    ASSERT_EQ(keyed, 0);
    QElapsedTimer quitting;
    quitting.start();
    // The exit deadline ends the game after a second at the latest; ended
    // before it, the game says nothing of it.
    const bool ended = game.waitForFinished(10000);
    if (!ended)
        game.kill();
    EXPECT_TRUE(ended) << "still running " << quitting.elapsed() << " ms after Escape";
    EXPECT_EQ(game.exitStatus(), QProcess::NormalExit);
    const std::string errors = game.readAllStandardError().toStdString();
    EXPECT_EQ(errors.find(ExitDeadlineMessage), std::string::npos) << "took the deadline's second";
    EXPECT_EQ(game.exitCode(), 0) << errors;
    EXPECT_TRUE(QFile::exists("Tarvin.tbr")) << "the records were not saved";
    game.waitForFinished();
}

} // namespace
