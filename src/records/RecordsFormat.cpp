#include "records/RecordsFormat.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <bitset>
#include <utility>
#include <vector>

namespace {

constexpr char CodePage[] = "windows-1251";
constexpr char EndMark = '\x1A';

QStringDecoder MakeDecoder() {
    QStringDecoder decoder(CodePage);
    if (!decoder.isValid())
        throw ERecordsError("Code page windows-1251 is not available");
    return decoder;
}

QStringEncoder MakeEncoder() {
    QStringEncoder encoder(CodePage);
    if (!encoder.isValid())
        throw ERecordsError("Code page windows-1251 is not available");
    return encoder;
}

// Splits text into lines the way the file has always been read: CR ends a
// line and swallows one LF after it; a lone LF is an ordinary character.
class TLineReader {
public:
    explicit TLineReader(const QString& text) : Text(text) {}
    bool AtEnd() const { return Pos >= Text.size(); }

    // The next line without its first character (the separator space).
    QString NextField() {
        const qsizetype start = Pos;
        const qsizetype cr = Text.indexOf(QLatin1Char('\r'), Pos);
        const qsizetype end = cr < 0 ? Text.size() : cr;
        Pos = end;
        if (Pos < Text.size()) {
            ++Pos;
            if (Pos < Text.size() && Text[Pos] == QLatin1Char('\n'))
                ++Pos;
        }
        return end - start > 1 ? Text.mid(start + 1, end - start - 1) : QString();
    }

private:
    const QString& Text;
    qsizetype Pos = 0;
};

// How many entries the reader makes of these bytes: one per two lines,
// where a CR ends a line (with one LF after it) and what follows the last
// CR is one more line; at least one.
qsizetype EntriesIn(const QByteArray& bytes) {
    const qsizetype lastCr = bytes.lastIndexOf('\r');
    qsizetype tail = lastCr + 1;
    if (lastCr >= 0 && tail < bytes.size() && bytes[tail] == '\n')
        ++tail;
    const qsizetype lines = bytes.count('\r') + (tail < bytes.size() ? 1 : 0);
    return std::max<qsizetype>(1, (lines + 1) / 2);
}

} // namespace

TRecordsTable RecordsFromBytes(QByteArray bytes, const TRecordsTable& headerFrom) {
    const qsizetype endMark = bytes.indexOf(EndMark);
    if (endMark >= 0)
        bytes.truncate(endMark);
    const qsizetype pairs = EntriesIn(bytes);
    if (pairs > MaxRecordsEntries)
        throw ERecordsError("Records file holds more than " + std::to_string(MaxRecordsEntries) +
                            " entries");
    // windows-1251 gives exactly one character per byte, so splitting the
    // decoded text is the same as splitting the bytes.
    QStringDecoder decoder = MakeDecoder();
    const QString text = decoder.decode(bytes);

    std::vector<std::pair<QString, QString>> entries;
    entries.reserve(static_cast<std::size_t>(pairs));
    TLineReader lines(text);
    do {
        QString name = lines.NextField();
        entries.emplace_back(std::move(name), lines.NextField());
    } while (!lines.AtEnd());

    TRecordsTable parsed;
    parsed.SetCell(0, 0, headerFrom.Cell(0, 0));
    parsed.SetCell(1, 0, headerFrom.Cell(1, 0));
    parsed.SetRowCount(static_cast<int>(entries.size()) + 1);
    int row = 1;
    for (const auto& [name, time] : entries) {
        parsed.SetCell(0, row, name);
        parsed.SetCell(1, row++, time);
    }
    return parsed;
}

QByteArray RecordsToBytes(const TRecordsTable& table) {
    QStringEncoder encoder = MakeEncoder();
    QByteArray bytes;
    bytes.reserve(table.RowCount() * 24);
    const auto put = [&](const QString& cell, int row) {
        // Checked character by character: a stateful encoder would keep a
        // lone surrogate at a cell's end for the next cell, and drop it
        // silently when only empty cells follow.
        const bool storable = std::all_of(cell.begin(), cell.end(), CanStoreInRecords);
        const QByteArray encoded = encoder.encode(cell);
        if (!storable || encoder.hasError() || encoded.size() != cell.size())
            throw ERecordsError("Records row " + std::to_string(row) +
                                " holds a character the records file cannot store");
        bytes.append(' ');
        bytes.append(encoded);
        bytes.append("\r\n", 2);
    };
    for (int row = 1; row < table.RowCount(); ++row) {
        put(table.Cell(0, row), row);
        put(table.Cell(1, row), row);
    }
    return bytes;
}

bool CanStoreInRecords(QChar c) noexcept {
    // The code page maps each byte to one character and back, so the
    // storable characters are exactly the images of the 256 bytes.
    static const std::bitset<0x10000> storable = [] {
        std::bitset<0x10000> set;
        QStringDecoder decoder(CodePage);
        QStringEncoder encoder(CodePage);
        if (!decoder.isValid() || !encoder.isValid())
            return set; // nothing can be saved then; RecordsToBytes says why
        for (int byte = 0; byte < 256; ++byte) {
            const char b = static_cast<char>(byte);
            const QString decoded = decoder.decode(QByteArrayView(&b, 1));
            const QByteArray back = encoder.encode(decoded);
            if (decoded.size() == 1 && back.size() == 1 && back[0] == b && b != '\r' &&
                b != EndMark)
                set.set(decoded[0].unicode());
        }
        return set;
    }();
    return storable.test(c.unicode());
}
