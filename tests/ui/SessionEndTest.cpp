// The game ended by the session, not the player: the game itself, on an X
// server of its own and without a session bus.

#include "support/TempWorkDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Space, the arrows and Space again for each move of rings from peg to peg.
QString KeysMoving(int rings, int from, int to, int& selected) {
    if (rings == 0)
        return {};
    QString keys = KeysMoving(rings - 1, from, 3 - from - to, selected);
    for (const int peg : {from, to}) {
        for (; selected != peg; selected = (selected + 1) % 3)
            keys += " Right";
        keys += " space";
    }
    return keys + KeysMoving(rings - 1, 3 - from - to, to, selected);
}
} // namespace

// Mended: a signal ended the game with status 143 (129, 130) and a lost
// display with 1, the records unsaved and a name being asked for lost; and
// Qt's D-Bus client left dbus-launch and a bus of its own behind.
TEST(SessionEnd, SignalsAndALostDisplaySaveTheRecordsAndTheNameAskedForAndLeaveNothing) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0); // what the game leaves comes to us
    for (const auto& [how, solved] : {std::pair{SIGTERM, true},
                                      {SIGHUP, false},
                                      {SIGINT, false},
                                      {0, true}}) { // 0: the X server goes
        const TTempWorkDir dir;
        for (const char* cue : {"Dizo1.wav", "Dizo2.wav", "Dizo3.wav", "Dizo4.wav", "Dizo5.wav"})
            WriteTestWav(cue);
        QProcess server, game;
        server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        ASSERT_TRUE(server.waitForReadyRead(10000)) << "no Xvfb";
        const QString display = ":" + server.readLine().trimmed();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        environment.insert("XDG_RUNTIME_DIR", dir.Path({})); // no user's bus there
        game.setProcessEnvironment(environment);
        game.start(TARVIN_GAME_PATH);
        int selected = 0;
        // A solved game's name entry is a second window of the game's name.
        const QString script =
            "w=$(xdotool search --sync --onlyvisible --name '^Тарвин$' | head -1) && xdotool "
            "windowfocus --sync $w key --delay 30 Left Right" +
            (solved ? KeysMoving(5, 0, 2, selected) : QString()) +
            " && for i in $(seq 100); do [ $(xdotool search --onlyvisible --name '^Тарвин$' | wc "
            "-l) -gt " +
            (solved ? "1" : "0") + " ] && exit; sleep 0.05; done; exit 1";
        ASSERT_EQ(QProcess::execute("env", {"DISPLAY=" + display, "sh", "-c", script}), 0) << how;
        how != 0 ? static_cast<void>(::kill(static_cast<pid_t>(game.processId()), how))
                 : server.terminate();
        EXPECT_TRUE(game.waitForFinished(2000)) << how;
        EXPECT_EQ(game.exitCode(), how != 0 ? 0 : 1) << game.readAllStandardError().toStdString();
        const QByteArray records = ReadFileBytes("Tarvin.tbr");
        EXPECT_TRUE(records.endsWith(" \r\n \r\n")) << how;
        EXPECT_EQ(records.startsWith(" \xC8\xE3\xF0\xEE\xEA\r\n"), solved) << how; // " Игрок"
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            QFile stat("/proc/" + pid + "/stat");
            const QByteArray fields =
                stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
            const qsizetype name = fields.lastIndexOf(')');
            if (fields.mid(name + 2).split(' ').value(1).toLongLong() == ::getpid() &&
                pid.toLongLong() != server.processId() && pid.toLongLong() != game.processId()) {
                ADD_FAILURE() << "left behind: " << fields.left(name + 1).toStdString();
                ::kill(pid.toInt(), SIGKILL), ::waitpid(pid.toInt(), nullptr, 0);
            }
        }
        game.kill(), server.terminate();
        game.waitForFinished(), server.waitForFinished();
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}
