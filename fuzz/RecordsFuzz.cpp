// Round trip of the records file format, both ways:
//  - any bytes the reader takes give a table the writer saves, and that table
//    reads back the same;
//  - any table the writer accepts reads back with the same cells, and the
//    writer refuses a table exactly when a cell holds a character the file
//    cannot carry.

#include "recordsformat/RecordsFormat.h"
#include "recordsformat/RecordsTable.h"

#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "records round trip broken: %s\n", what);
        std::abort();
    }
}

bool SameCells(const TRecordsTable& a, const TRecordsTable& b) {
    if (a.RowCount() != b.RowCount())
        return false;
    for (int row = 1; row < a.RowCount(); ++row)
        for (int col = 0; col < TRecordsTable::ColumnCount; ++col)
            if (a.Cell(col, row) != b.Cell(col, row))
                return false;
    return true;
}

void ReadThenWrite(const QByteArray& bytes) {
    const TRecordsTable table = RecordsFromBytes(bytes, TRecordsTable());
    QByteArray saved;
    try {
        saved = RecordsToBytes(table);
    } catch (const ERecordsError&) {
        Check(false, "a table read from a file cannot be saved");
    }
    Check(SameCells(RecordsFromBytes(saved, TRecordsTable()), table),
          "a saved table reads back different");
}

// The input as cells: most bytes stand for their character in the file's
// code page (so the writer has something to accept); 0xFE ends a cell and
// 0xFF takes the next two bytes as any UTF-16 code unit.
TRecordsTable TableFrom(const std::uint8_t* data, std::size_t size) {
    static QStringDecoder decoder("windows-1251");
    std::vector<QString> cells(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFE) {
            cells.emplace_back();
        } else if (data[i] == 0xFF && i + 2 < size) {
            cells.back() += QChar(static_cast<char16_t>(data[i + 1] | data[i + 2] << 8));
            i += 2;
        } else {
            const char byte = static_cast<char>(data[i]);
            cells.back() += decoder.decode(QByteArrayView(&byte, 1));
        }
    }
    TRecordsTable table;
    table.SetRowCount(static_cast<int>((cells.size() + 1) / 2) + 1);
    for (std::size_t i = 0; i < cells.size(); ++i)
        table.SetCell(static_cast<int>(i % 2), static_cast<int>(i / 2) + 1, cells[i]);
    return table;
}

void WriteThenRead(const TRecordsTable& table) {
    bool storable = true;
    for (int row = 1; row < table.RowCount(); ++row)
        for (int col = 0; col < TRecordsTable::ColumnCount; ++col) {
            const QString& cell = table.Cell(col, row);
            storable = storable && std::all_of(cell.begin(), cell.end(), CanStoreInRecords);
        }
    QByteArray saved;
    try {
        saved = RecordsToBytes(table);
    } catch (const ERecordsError&) {
        Check(!storable, "a table of storable characters was refused");
        return;
    }
    Check(storable, "a character the file cannot carry was saved");
    Check(SameCells(RecordsFromBytes(saved, TRecordsTable()), table),
          "a saved table reads back different");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadThenWrite(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    WriteThenRead(TableFrom(data, size));
    return 0;
}
