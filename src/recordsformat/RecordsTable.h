#pragma once

#include <QString>

#include <array>
#include <vector>

// The records as the program keeps them: a two-column grid (name, time) whose
// row 0 is the header and whose last row is the blank slot the next entry
// fills. Plain data, no window needed.
class TRecordsTable {
public:
    static constexpr int ColumnCount = 2;
    static constexpr int MinRowCount = 2; // header and the blank slot

    TRecordsTable();

    int RowCount() const { return static_cast<int>(Rows.size()); }

    // Dropped rows are gone for good, added rows are empty, and after a cut
    // the new last row is blank, so cleared records never come back.
    // Throws std::out_of_range below MinRowCount.
    void SetRowCount(int rowCount);

    // Throw std::out_of_range outside the grid.
    const QString& Cell(int col, int row) const;
    void SetCell(int col, int row, const QString& text);

private:
    using TRow = std::array<QString, ColumnCount>;
    const TRow& Row(int col, int row) const;
    std::vector<TRow> Rows;
};
