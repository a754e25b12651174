#include "launcher/PlayerFolder.h"
#include "files/SafeFile.h"

#include "support/ChildProcess.h"
#include "support/QtPrinters.h"
#include "support/TempWorkDir.h"

#include <QDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// Runs action in a child process in which renameat2 fails with error, as in
// a sandbox, on an old kernel or on a file system without no-replace
// renames. Returns the child's exit status: 0 when action went through.
int WithRenameat2Failing(int error, const std::function<void()>& action) {
    return RunInChild([error] { FailSystemCall(SYS_renameat2, error); }, action);
}
} // namespace

// Mended: ENOSYS and EPERM stopped the start; on EINVAL a plain
// rename could replace a cue the player had just put there.
TEST(PlayerFolder, CuesAreCopiedWhereRenameat2IsRefusedAndNeverReplaceTheOnesThere) {
    TTempWorkDir dir;
    ASSERT_TRUE(QDir().mkdir("cues"));
    for (const char* cue : {"Dizo1.wav", "Dizo2.wav", "Dizo3.wav", "Dizo4.wav", "Dizo5.wav"})
        WriteFileBytes(QStringLiteral("cues/") + cue, QByteArray("installed ") + cue);
    for (const int error : {ENOSYS, EPERM, EINVAL}) {
        const std::string folder = "player" + std::to_string(error);
        ASSERT_TRUE(QDir().mkdir(QString::fromStdString(folder)));
        WriteFileBytes(QString::fromStdString(folder + "/Dizo3.wav"), "mine");
        EXPECT_EQ(WithRenameat2Failing(error, [&] { PreparePlayerFolder(folder, "cues"); }), 0)
            << "renameat2 failing with " << error;
        const QDir player(QString::fromStdString(folder));
        EXPECT_EQ(player.entryList(QDir::Files | QDir::Hidden).join(' '),
                  "Dizo1.wav Dizo2.wav Dizo3.wav Dizo4.wav Dizo5.wav");
        EXPECT_EQ(ReadFileBytes(player.filePath("Dizo1.wav")), "installed Dizo1.wav");
        EXPECT_EQ(ReadFileBytes(player.filePath("Dizo3.wav")), "mine");
    }

    // The player's file arrived between the look and the placing.
    WriteFileBytes("new", "ours");
    WriteFileBytes("taken", "the player's");
    EXPECT_EQ(WithRenameat2Failing(EINVAL,
                                   [] {
                                       if (PlaceWithoutReplacing("new", "taken"))
                                           throw std::runtime_error("replaced");
                                   }),
              0);
    EXPECT_EQ(ReadFileBytes("taken"), "the player's");
    EXPECT_EQ(ReadFileBytes("new"), "ours");
}
