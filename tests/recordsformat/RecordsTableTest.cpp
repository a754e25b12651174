#include "recordsformat/RecordsTable.h"

#include <gtest/gtest.h>

TEST(RecordsTable, CutRowsNeverComeBack) {
    TRecordsTable table;
    EXPECT_EQ(table.RowCount(), 2);
    table.SetRowCount(6);
    for (int row = 1; row < 6; ++row)
        table.SetCell(0, row, QString::number(row));
    table.SetRowCount(3);
    EXPECT_EQ(table.Cell(0, 1), QStringLiteral("1"));
    EXPECT_TRUE(table.Cell(0, 2).isEmpty()) << "the new last row must be the blank slot";
    table.SetRowCount(6);
    for (int row = 2; row < 6; ++row)
        EXPECT_TRUE(table.Cell(0, row).isEmpty()) << "row " << row;
}

TEST(RecordsTable, StartsAsHeaderAndBlankSlotAndEachEntryKeepsTheOnesBefore) {
    TRecordsTable table;
    ASSERT_EQ(table.RowCount(), 2);
    for (int col = 0; col < TRecordsTable::ColumnCount; ++col)
        EXPECT_TRUE(table.Cell(col, 1).isEmpty()) << "the first entry's slot is blank";
    // As the name entry does it: fill the last row, then add a new blank slot.
    for (const QString& name : {QStringLiteral("Аня"), QStringLiteral("Пётр")}) {
        const int slot = table.RowCount() - 1;
        table.SetCell(0, slot, name);
        table.SetCell(1, slot, QStringLiteral("0 : 1 : 2"));
        table.SetRowCount(table.RowCount() + 1);
    }
    ASSERT_EQ(table.RowCount(), 4);
    EXPECT_EQ(table.Cell(0, 1), QStringLiteral("Аня"));
    EXPECT_EQ(table.Cell(0, 2), QStringLiteral("Пётр"));
    EXPECT_EQ(table.Cell(1, 2), QStringLiteral("0 : 1 : 2"));
    EXPECT_TRUE(table.Cell(0, 3).isEmpty() && table.Cell(1, 3).isEmpty());
}
