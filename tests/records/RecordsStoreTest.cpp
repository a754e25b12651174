#include "records/RecordsStore.h"
#include "records/RecordsFile.h"
#include "recordsformat/RecordsTable.h"

#include "support/TempWorkDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include <sys/stat.h>

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
} // namespace

TEST(RecordsStore, SavesAtTheSameInstantWaitForEachOtherAndKeepBothEntries) {
    TTempWorkDir dir;
    WriteFileBytes(RecordsFileName, " Anna\r\n 0 : 1 : 0\r\n \r\n \r\n");
    TRecordsTable tableB;
    TRecordsStore gameB(tableB);
    gameB.Load();

    std::future<void> saveB;
    {
        // Game A holds the file for its load-and-save while B saves.
        TRecordsUpdate gameA;
        saveB = std::async(std::launch::async, [&] { gameB.AddEntry("Boris", "0 : 2 : 0"); });
        EXPECT_EQ(saveB.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
            << "B must wait for A";
        TRecordsTable tableA = RecordsFromBytes(*gameA.Read(), TRecordsTable());
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
