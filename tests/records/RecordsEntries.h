#pragma once

// Records tables as lists of (name, time) entries, for the records tests.

#include "recordsformat/RecordsFormat.h"
#include "recordsformat/RecordsTable.h"

#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using TEntries = std::vector<std::pair<QString, QString>>;

inline TEntries Entries(const TRecordsTable& table) {
    TEntries out;
    for (int row = 1; row < table.RowCount(); ++row)
        out.emplace_back(table.Cell(0, row), table.Cell(1, row));
    return out;
}

inline TRecordsTable TableOf(const TEntries& entries) {
    TRecordsTable table;
    table.SetRowCount(static_cast<int>(entries.size()) + 1);
    for (int row = 1; row < table.RowCount(); ++row) {
        table.SetCell(0, row, entries[static_cast<std::size_t>(row - 1)].first);
        table.SetCell(1, row, entries[static_cast<std::size_t>(row - 1)].second);
    }
    return table;
}

// The text of the records error action throws; "<no error>" when none.
inline std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ERecordsError& e) {
        return e.what();
    }
    return "<no error>";
}
