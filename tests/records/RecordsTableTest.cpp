#include "records/RecordsTable.h"

#include <gtest/gtest.h>

#include <stdexcept>

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

TEST(RecordsTable, RefusesCellsOutsideAndTooFewRows) {
    TRecordsTable table;
    EXPECT_THROW(table.Cell(2, 0), std::out_of_range);
    EXPECT_THROW(table.Cell(0, -1), std::out_of_range);
    EXPECT_THROW(table.SetCell(0, 2, QStringLiteral("x")), std::out_of_range);
    EXPECT_THROW(table.SetRowCount(1), std::out_of_range);
    EXPECT_EQ(table.RowCount(), 2);
}
