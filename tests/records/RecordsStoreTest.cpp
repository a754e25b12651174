#include "records/RecordsStore.h"
#include "records/RecordsFile.h"
#include "recordsformat/RecordsTable.h"

#include "support/TempWorkDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {
QStringList Names(const TRecordsTable& table) {
    QStringList names;
    for (int row = 1; row < table.RowCount(); ++row)
        names << table.Cell(0, row);
    return names;
}

QStringList NamesInFile() {
    TRecordsTable table;
    TRecordsStore(table).Load();
    return Names(table);
}

// Whether the thread sleeps between two tries for the lock, as a save that
// waits for another game does.
bool SleepsBetweenTries(pid_t thread) {
    int call = -1;
    std::ifstream("/proc/self/task/" + std::to_string(thread) + "/syscall") >> call;
    return call == SYS_clock_nanosleep || call == SYS_nanosleep;
}
} // namespace

TEST(RecordsStore, SavesAtTheSameInstantWaitForEachOtherAndKeepBothEntries) {
    TTempWorkDir dir;
    WriteFileBytes(RecordsFileName, " Anna\r\n 0 : 1 : 0\r\n \r\n \r\n");
    TRecordsTable tableB;
    TRecordsStore gameB(tableB);
    gameB.Load();

    std::future<void> saveB;
    {
        // Game A holds the file for its load-and-save while B saves: A has
        // read it before B tries, so a B that did not wait would be lost.
        TRecordsUpdate gameA;
        TRecordsTable tableA = RecordsFromBytes(*gameA.Read(), TRecordsTable());
        std::atomic<pid_t> threadB{0};
        saveB = std::async(std::launch::async, [&] {
            threadB = ::gettid();
            gameB.AddEntry("Boris", "0 : 2 : 0");
        });
        const auto ready = [&] { return saveB.wait_for(1ms) == std::future_status::ready; };
        while (!ready() && !(threadB != 0 && SleepsBetweenTries(threadB)))
            std::this_thread::sleep_for(1ms);
        EXPECT_FALSE(ready()) << "B must wait for A";
        tableA.SetCell(0, 2, "Alla");
        tableA.SetRowCount(4);
        gameA.Replace(RecordsToBytes(tableA));
    }
    saveB.get();
    EXPECT_EQ(NamesInFile(), (QStringList{"Anna", "Alla", "Boris", ""}));
    EXPECT_EQ(Names(tableB), NamesInFile());
}

TEST(RecordsStore, EntryWhoseSaveFailedStaysAndGoesInAfterTheFilesEntries) {
    TTempWorkDir dir;
    TRecordsTable table;
    TRecordsStore store(table);
    WriteFileBytes(RecordsFileName, " Anna\r\n 1\r\n \r\n \r\n");
    ASSERT_EQ(::chmod(RecordsFileName, 0444), 0);
    EXPECT_THROW(store.AddEntry("Boris", "2"), ERecordsError);
    EXPECT_EQ(Names(table), (QStringList{"Anna", "Boris", ""}));

    // Another game writes meanwhile; the records window reloads.
    ASSERT_EQ(::chmod(RecordsFileName, 0644), 0);
    WriteFileBytes(RecordsFileName, " Anna\r\n 1\r\n Vera\r\n 3\r\n \r\n \r\n");
    store.Load();
    EXPECT_EQ(Names(table), (QStringList{"Anna", "Vera", "Boris", ""}));
    store.Save(); // at exit
    EXPECT_EQ(NamesInFile(), (QStringList{"Anna", "Vera", "Boris", ""}));

    // A file that cannot be loaded is never replaced, and the table is kept.
    WriteFileBytes(RecordsFileName, " X\r\n 1\r\n");
    ASSERT_EQ(::truncate(RecordsFileName, MaxRecordsFileSize + 1), 0);
    EXPECT_THROW(store.AddEntry("Gleb", "4"), ERecordsError);
    EXPECT_EQ(QFile(RecordsFileName).size(), MaxRecordsFileSize + 1);
    EXPECT_EQ(Names(table), (QStringList{"Anna", "Vera", "Boris", "Gleb", ""}));
}

// Mended: the entry took the place of the file's last one.
TEST(RecordsStore, NewEntryGoesAfterEveryEntryOfAFileTheGameDidNotWrite) {
    TTempWorkDir dir;
    const QByteArray noBlankPair(" Anna\r\n 1\r\n");
    WriteFileBytes(RecordsFileName, noBlankPair);
    TRecordsTable table;
    TRecordsStore store(table);
    store.AddEntry("Boris", "2"); // the file is taken in at the save
    EXPECT_EQ(NamesInFile(), (QStringList{"Anna", "Boris", ""}));

    WriteFileBytes(RecordsFileName, noBlankPair);
    store.Load(); // loaded first, as at start-up
    store.AddEntry("Vera", "3");
    EXPECT_EQ(NamesInFile(), (QStringList{"Anna", "Vera", ""}));
}

// Mended: a clear whose save failed left the table marked as cleared, and
// the save at exit then wrote the empty table over what other games had saved.
TEST(RecordsStore, ClearWhoseSaveFailedChangesNothingAndOtherGamesEntriesSurvive) {
    TTempWorkDir dir;
    WriteFileBytes(RecordsFileName, " Anna\r\n 1\r\n \r\n \r\n");
    TRecordsTable tableA, tableB;
    TRecordsStore gameA(tableA), gameB(tableB);
    gameA.Load();
    gameB.Load();
    ASSERT_EQ(::chmod(RecordsFileName, 0444), 0);
    EXPECT_THROW(gameA.Clear(), ERecordsError);
    EXPECT_EQ(Names(tableA), (QStringList{"Anna", ""}));

    ASSERT_EQ(::chmod(RecordsFileName, 0644), 0);
    gameB.AddEntry("Boris", "2");
    gameA.Save(); // at exit
    EXPECT_EQ(NamesInFile(), (QStringList{"Anna", "Boris", ""}));
}
