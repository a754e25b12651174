// The game itself ended by the session, on an X server of its own.

#include "support/TempWorkDir.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

// Mended: a signal ended the game with status 143 (129, 130) and a lost
// display with 1, the name being asked for and the records unsaved; and Qt's
// D-Bus client left dbus-launch and a bus of its own behind.
TEST(SessionEnd, SignalsAndALostDisplaySaveTheRecordsAndTheNameAskedForAndLeaveNothing) {
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0); // what the game leaves comes to us
    QString solving; // the 31 moves to the right peg, each a lift and a put-down
    for (int move = 1, selected = 0; move < 32; ++move)
        for (const int peg : {(move & (move - 1)) % 3, ((move | (move - 1)) + 1) % 3}) {
            for (; selected != peg; selected = (selected + 1) % 3)
                solving += " Right";
            solving += " space sleep 0.12 key"; // the next key after the frame that moves
        }
    for (const int how : {SIGTERM, SIGHUP, 0}) { // 0: the X server goes; SIGINT is as SIGHUP
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
        // Under AddressSanitizer, the report of 240 bytes left in an unloaded
        // library at the end (and its symbolizer) is not what this tries.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
        game.setProcessEnvironment(environment);
        game.start(TARVIN_GAME_PATH);
        // The solved game's name entry is a second window of the game's name.
        const QString script = QString(R"(w=$(xdotool search --sync --onlyvisible --name '^Тарвин$')
            xdotool windowfocus --sync ${w%%[!0-9]*} key --delay 20 %1 Left || exit 1
            for i in $(seq 100); do [ $(xdotool search --onlyvisible --name '^Тарвин$' | wc -l) -gt 1 ] && exit; sleep 0.05; done; exit 1)")
                                   .arg(solving);
        ASSERT_EQ(QProcess::execute("env", {"DISPLAY=" + display, "sh", "-c", script}), 0) << how;
        how != 0 ? static_cast<void>(::kill(static_cast<pid_t>(game.processId()), how))
                 : server.terminate();
        EXPECT_TRUE(game.waitForFinished(2000)) << how;
        EXPECT_EQ(game.exitCode(), how != 0 ? 0 : 1) << game.readAllStandardError().toStdString();
        const QByteArray records = ReadFileBytes("Tarvin.tbr"); // " Игрок", a time, the blank slot
        EXPECT_EQ(records.left(8) + records.right(6), " \xC8\xE3\xF0\xEE\xEA\r\n \r\n \r\n") << how;
        const QString others = QString("! pgrep -l -P %1 | grep -vwE 'Xvfb|sh'").arg(::getpid());
        EXPECT_EQ(QProcess::execute("sh", {"-c", others}), 0) << "left behind, " << how;
        game.kill(), server.terminate();
        game.waitForFinished(), server.waitForFinished();
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}
