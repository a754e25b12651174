// The records file's format, without the disk.

#include "recordsformat/RecordsFormat.h"
#include "recordsformat/RecordsTable.h"

#include "records/RecordsEntries.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {
TEntries LoadedFrom(const QByteArray& bytes) {
    return Entries(RecordsFromBytes(bytes, TRecordsTable()));
}
} // namespace

TEST(RecordsFormat, ExactBytes) {
    EXPECT_EQ(RecordsToBytes(TRecordsTable()),
              QByteArray("\x20\r\n\x20\r\n")); // the first run's file
    EXPECT_EQ(LoadedFrom("\x20\r\n\x20\r\n"), (TEntries{{"", ""}}));
    EXPECT_EQ(
        RecordsToBytes(TableOf({{QStringLiteral("Иван ё"), QStringLiteral("0 : 2 : 7")}, {}})),
        QByteArray(" \xC8\xE2\xE0\xED \xB8\r\n 0 : 2 : 7\r\n \r\n \r\n"));
}

TEST(RecordsFormat, SaveAndLoadKeepEveryEntry) {
    const TEntries entries{{QStringLiteral("  два пробела"), QStringLiteral("1 : 0 : 59")},
                           {QString(), QStringLiteral("0 : 0 : 3")},
                           {QStringLiteral("перевод\nстроки"), QString()}, // a lone LF survives
                           {QStringLiteral("\u0098№€"), QStringLiteral("x")},
                           {}};
    TRecordsTable header;
    header.SetCell(0, 0, QStringLiteral("Имя игрока"));
    const TRecordsTable loaded = RecordsFromBytes(RecordsToBytes(TableOf(entries)), header);
    EXPECT_EQ(Entries(loaded), entries);
    EXPECT_EQ(loaded.Cell(0, 0), QStringLiteral("Имя игрока")) << "load must keep the header";

    // A byte the code page leaves undefined loads and goes back unchanged.
    const QByteArray odd(" a\x98z\r\n 0 : 0 : 1\r\n");
    EXPECT_EQ(RecordsToBytes(RecordsFromBytes(odd, header)), odd);
}

TEST(RecordsFormat, SaveRefusesWhatTheFileCannotCarry) {
    for (const char16_t* bad : {u"À", u"中", u"a\rb", u"a\x1A", u"😀", u"\xD800", u"\xDC00x"})
        EXPECT_EQ(ErrorOf([&] {
                      RecordsToBytes(TableOf({{"ok", "1"}, {"ok", QString::fromUtf16(bad)}}));
                  }),
                  "Records row 2 holds a character the records file cannot store");
    // A lone surrogate at a cell's end with only empty cells after it.
    const TRecordsTable surrogate = TableOf({{"A", QString(QChar(0xD800))}, {}});
    EXPECT_EQ(ErrorOf([&] { RecordsToBytes(surrogate); }),
              "Records row 1 holds a character the records file cannot store");
}

TEST(RecordsLoad, ReadsFilesAsTheyCome) {
    const struct {
        QByteArray Bytes;
        TEntries Expected;
    } cases[] = {
        {" a\r\n 1\r\n b\r\n 2\r\n", {{"a", "1"}, {"b", "2"}}},
        {" a\r\n 1\r\n ", {{"a", "1"}, {"", ""}}}, // one more byte starts another pair
        {" a\r\n 1", {{"a", "1"}}},
        {"", {{"", ""}}},
        {"Ivan\r\n\r\n", {{"van", ""}}}, // the first character is taken as the space
        {" a\nb\r\n t\r\n", {{"a\nb", "t"}}},
        {" a\r b\r", {{"a", "b"}}},
        {" a\r\n\n b\r\n", {{"a", " b"}}}, // only one LF after a CR is swallowed
        {" a\r\n 1\r\n\x1A b\r\n 2\r\n", {{"a", "1"}}},
        {" ab\x1A"
         "cd\r\n 1\r\n",
         {{"ab", ""}}},
        {" " + QByteArray(100 * 1024, 'x') + "\r\n 9\r\n", {{QString(100 * 1024, 'x'), "9"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadedFrom(c.Bytes), c.Expected) << c.Bytes.left(40).toStdString();
}

// Mended: a file of exactly the bound, written the game's
// way, was refused.
TEST(RecordsFormat, FilesOfMoreEntriesThanTheBoundAreRefused) {
    TRecordsTable full;
    full.SetRowCount(MaxRecordsEntries + 1);
    EXPECT_EQ(RecordsFromBytes(RecordsToBytes(full), full).RowCount(), MaxRecordsEntries + 1);
    // Small, but a million and one entries of bare line ends.
    EXPECT_EQ(ErrorOf([] { RecordsFromBytes(QByteArray(2 * MaxRecordsEntries + 1, '\r'), {}); }),
              "Records file holds more than 1000000 entries");
}
