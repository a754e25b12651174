#include "recordsformat/RecordsTable.h"

#include <stdexcept>
#include <string>

TRecordsTable::TRecordsTable() : Rows(MinRowCount) {}

void TRecordsTable::SetRowCount(int rowCount) {
    if (rowCount < MinRowCount)
        throw std::out_of_range("records table needs at least " + std::to_string(MinRowCount) +
                                " rows, asked for " + std::to_string(rowCount));
    const bool cut = rowCount < RowCount();
    Rows.resize(static_cast<std::size_t>(rowCount));
    if (cut)
        Rows.back() = TRow{};
}

const TRecordsTable::TRow& TRecordsTable::Row(int col, int row) const {
    if (col < 0 || col >= ColumnCount || row < 0 || row >= RowCount())
        throw std::out_of_range("records cell (" + std::to_string(col) + ", " +
                                std::to_string(row) + ") is outside the table");
    return Rows[static_cast<std::size_t>(row)];
}

const QString& TRecordsTable::Cell(int col, int row) const {
    return Row(col, row)[static_cast<std::size_t>(col)];
}

void TRecordsTable::SetCell(int col, int row, const QString& text) {
    Row(col, row); // bounds check
    Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = text;
}
