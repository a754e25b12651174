// A save killed at any moment leaves the old file or the new one, whole.

#include "records/RecordsFile.h"
#include "recordsformat/RecordsTable.h"

#include <fcntl.h>

#include "support/TempWorkDir.h"

#include <QDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct TSyscallStop {
    long Call;    // the system call's number
    bool Entry;   // about to run it, or just returned from it
    bool Creates; // an open that creates a file
};

// The records file's save, as the store makes it.
void SaveTable(const TRecordsTable& table) {
    TRecordsUpdate().Replace(RecordsToBytes(table));
}

// Runs SaveTable(table) in a child process under ptrace and kills it with
// SIGKILL at the first system call stop for which killHere says so. Returns
// the number of stops seen; -1 when the child was killed.
int SaveKilledWhen(const TRecordsTable& table,
                   const std::function<bool(const TSyscallStop&, int index)>& killHere) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
            ::_exit(3); // an untraced stop would never be reported
        ::raise(SIGSTOP);
        try {
            SaveTable(table);
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFSTOPPED(status)) {
        ADD_FAILURE() << "the saving child could not be traced (is ptrace allowed?)";
        return 0;
    }
    ::ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    int stops = 0;
    long call = -1;
    bool creates = false;
    int signal = 0;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, child, nullptr, signal);
        signal = 0;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0) << "the save failed";
            return stops;
        }
        if (!WIFSTOPPED(status))
            return stops;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status); // the child's own, passed on
            continue;
        }
        __ptrace_syscall_info info{};
        ::ptrace(PTRACE_GET_SYSCALL_INFO, child, sizeof info, &info);
        const bool entry = info.op == PTRACE_SYSCALL_INFO_ENTRY;
        if (entry) {
            call = static_cast<long>(info.entry.nr);
            creates = call == SYS_openat && (info.entry.args[2] & O_CREAT) != 0;
        }
        if (killHere({call, entry, creates}, stops++)) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
    }
}

bool IsRename(long call) {
    return call == SYS_rename || call == SYS_renameat || call == SYS_renameat2;
}

bool IsSync(long call) {
    return call == SYS_fsync || call == SYS_fdatasync || call == SYS_syncfs;
}

TRecordsTable TableOf(int entries) {
    TRecordsTable table;
    table.SetRowCount(entries + 2);
    for (int row = 1; row <= entries; ++row) {
        table.SetCell(0, row, QStringLiteral("Игрок %1").arg(row));
        table.SetCell(1, row, QStringLiteral("0 : 1 : %1").arg(row));
    }
    return table;
}

QStringList Leftovers() {
    QStringList names = QDir::current().entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                  QDir::NoDotAndDotDot);
    names.removeAll(QString::fromLatin1(RecordsFileName));
    return names;
}
} // namespace

// Killed at each system call stop of the save in turn: up to the rename the
// old file is there, from it on the new one, never a mix, and never renamed
// before it was synced. The temporary file exists only between its creation
// and the rename (a kill there leaves it for the next save to clear).
TEST(RecordsCrash, KillAtEveryStepOfASaveLeavesTheOldOrTheNewFileWholeAndNoTemporary) {
    TTempWorkDir dir;
    const TRecordsTable oldTable = TableOf(3);
    const TRecordsTable newTable = TableOf(500);
    const QByteArray oldBytes = RecordsToBytes(oldTable);
    const QByteArray newBytes = RecordsToBytes(newTable);

    SaveTable(oldTable);
    const int stops = SaveKilledWhen(newTable, [](const TSyscallStop&, int) { return false; });
    ASSERT_GT(stops, 10);
    SaveTable(oldTable);
    for (int killAt = 0; killAt <= stops; ++killAt) {
        bool synced = false, named = false, renamed = false;
        const bool killed = SaveKilledWhen(newTable, [&](const TSyscallStop& s, int index) {
                                // An exit stop comes after the call took effect.
                                synced = synced || (IsSync(s.Call) && !s.Entry);
                                named = named || (s.Creates && !s.Entry);
                                renamed = renamed || (IsRename(s.Call) && !s.Entry);
                                return index == killAt;
                            }) < 0;
        EXPECT_EQ(ReadFileBytes(RecordsFileName), killed && !renamed ? oldBytes : newBytes)
            << "killed at stop " << killAt;
        EXPECT_TRUE(!renamed || synced) << "renamed before it was synced, stop " << killAt;
        if (!named || renamed) {
            EXPECT_EQ(Leftovers(), QStringList()) << "killed at stop " << killAt;
        }
        SaveTable(oldTable); // the next game's save
        EXPECT_EQ(Leftovers(), QStringList()) << "after killing at stop " << killAt;
    }
}
