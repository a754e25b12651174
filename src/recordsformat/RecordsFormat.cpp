#include "recordsformat/RecordsFormat.h"

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

// The one rule for the file's lines, used both to count the entries and to
// read them: a CR ends a line and swallows one LF after it, a lone LF is an
// ordinary character, and what follows the last line end is one more line.
class TLines {
public:
    explicit TLines(const QByteArray& bytes) : Bytes(bytes) {}
    bool AtEnd() const { return Pos >= Bytes.size(); }

    // Where the next line starts and ends, its line end left out; past the
    // end, an empty line.
    std::pair<qsizetype, qsizetype> Next() {
        const qsizetype start = std::min(Pos, Bytes.size());
        const qsizetype cr = Bytes.indexOf('\r', start);
        const qsizetype end = cr < 0 ? Bytes.size() : cr;
        Pos = end;
        if (Pos < Bytes.size()) {
            ++Pos;
            if (Pos < Bytes.size() && Bytes[Pos] == '\n')
                ++Pos;
        }
        return {start, end};
    }

private:
    const QByteArray& Bytes;
    qsizetype Pos = 0;
};

// How many entries the reader makes of these bytes: one per two lines, at
// least one.
qsizetype EntriesIn(const QByteArray& bytes) {
    TLines lines(bytes);
    qsizetype count = 0;
    while (!lines.AtEnd()) {
        lines.Next();
        ++count;
    }
    return std::max<qsizetype>(1, (count + 1) / 2);
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
    // windows-1251 gives exactly one character per byte, so the lines of
    // the bytes are the lines of the decoded text.
    QStringDecoder decoder = MakeDecoder();
    const QString text = decoder.decode(bytes);

    std::vector<std::pair<QString, QString>> entries;
    entries.reserve(static_cast<std::size_t>(pairs));
    TLines lines(bytes);
    // Each line without its first character, the separator space.
    const auto field = [&] {
        const auto [start, end] = lines.Next();
        return end - start > 1 ? text.mid(start + 1, end - start - 1) : QString();
    };
    do {
        QString name = field();
        entries.emplace_back(std::move(name), field());
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
