// The game ended by the session, not the player: a signal, or its display
// going away; the game itself, on an X server of its own.

#include "support/QtPrinters.h"
#include "support/TempWorkDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

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

// Mended: a signal ended the game with status 143 and a lost display with 1,
// the records unsaved and a name being asked for lost.
TEST(SessionEnd, SignalsAndALostDisplaySaveTheRecordsWithTheNameBeingAskedFor) {
    for (const auto& [how, solved] : {std::pair{SIGTERM, true},
                                      {SIGHUP, false},
                                      {SIGINT, false},
                                      {0, true}}) { // 0: the X server goes
        const TTempWorkDir dir;
        for (const char* cue : {"Dizo1.wav", "Dizo2.wav", "Dizo3.wav", "Dizo4.wav", "Dizo5.wav"})
            WriteTestWav(cue);
        QProcess server;
        server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "640x480x24"});
        ASSERT_TRUE(server.waitForReadyRead(10000)) << "no Xvfb";
        const QString display = ":" + server.readLine().trimmed();
        QProcess game;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display);
        game.setProcessEnvironment(environment);
        game.start(TARVIN_GAME_PATH);
        int selected = 0;
        const QString keys = solved ? KeysMoving(5, 0, 2, selected) : QString();
        // The solved game's name entry is a second window of that name.
        const QString script =
            "w=$(xdotool search --sync --onlyvisible --name '^Тарвин$' | head -1) &&"
            "xdotool windowfocus --sync $w key --delay 30 Left Right" +
            keys +
            " && for i in $(seq 100); do [ $(xdotool search --onlyvisible --name "
            "'^Тарвин$' | wc -l) -gt " +
            (solved ? "1" : "0") + " ] && exit; sleep 0.05; done; exit 1";
        ASSERT_EQ(QProcess::execute("env", {"DISPLAY=" + display, "sh", "-c", script}), 0) << how;
        if (how != 0)
            ::kill(static_cast<pid_t>(game.processId()), how);
        else
            server.terminate();
        EXPECT_TRUE(game.waitForFinished(2000)) << how;
        EXPECT_EQ(game.exitCode(), how != 0 ? 0 : 1) << game.readAllStandardError().toStdString();
        const QByteArray records = ReadFileBytes("Tarvin.tbr");
        EXPECT_TRUE(records.endsWith(" \r\n \r\n")) << how;
        EXPECT_EQ(records.startsWith(" \xC8\xE3\xF0\xEE\xEA\r\n"), solved) << how; // " Игрок"
        game.kill();
        server.terminate();
        game.waitForFinished();
        server.waitForFinished();
    }
}

// Mended: without a session bus, Qt's D-Bus client started dbus-launch and a
// bus that stayed until the display closed.
TEST(SessionEnd, AGameWithoutASessionBusLeavesNoProcessBehind) {
    const TTempWorkDir dir;
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0); // what the game leaves comes to us
    QProcess game;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    environment.insert("XDG_RUNTIME_DIR", dir.Path({})); // without a user's bus
    game.setProcessEnvironment(environment);
    game.start(TARVIN_GAME_PATH);
    ASSERT_EQ(QProcess::execute("sh", {"-c", "xdotool windowfocus --sync \"$(xdotool search --sync "
                                             "--onlyvisible --name '^Тарвин$' | head -1)\" "
                                             "sleep 1 key Escape"}),
              0);
    EXPECT_TRUE(game.waitForFinished(3000));
    QStringList left;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        const QByteArray fields = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        if (fields.mid(fields.lastIndexOf(')') + 2).split(' ').value(1).toLongLong() ==
            ::getpid()) {
            left << fields.left(fields.lastIndexOf(')') + 1);
            ::kill(pid.toInt(), SIGKILL);
            ::waitpid(pid.toInt(), nullptr, 0);
        }
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    EXPECT_EQ(left, QStringList()) << "left behind";
}
