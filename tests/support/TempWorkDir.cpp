#include "support/TempWorkDir.h"

#include <QFile>
#include <QTest>
#include <QWidget>

#include <cstdint>
#include <stdexcept>

TTempWorkDir::TTempWorkDir() : Previous(QDir::currentPath()) {
    if (!Dir.isValid() || !QDir::setCurrent(Dir.path()))
        throw std::runtime_error("cannot make a temporary working directory");
}

TTempWorkDir::~TTempWorkDir() {
    QDir::setCurrent(Previous);
}

QByteArray ReadFileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void TypeText(QWidget* widget, const QString& text) {
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c),
                            Qt::NoModifier);
}

namespace {
void Put32(QByteArray& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(QByteArray& out, std::uint16_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}
} // namespace

std::uint32_t WriteTestWav(const QString& path, int rate, double seconds) {
    const auto samples = static_cast<std::uint32_t>(rate * seconds);
    QByteArray wav("RIFF");
    Put32(wav, 36 + samples);
    wav.append("WAVEfmt ");
    Put32(wav, 16);
    Put16(wav, 1); // PCM
    Put16(wav, 1); // mono
    Put32(wav, static_cast<std::uint32_t>(rate));
    Put32(wav, static_cast<std::uint32_t>(rate));
    Put16(wav, 1);
    Put16(wav, 8);
    wav.append("data");
    Put32(wav, samples);
    wav.append(QByteArray(static_cast<qsizetype>(samples), static_cast<char>(0x90)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(wav) != wav.size())
        throw std::runtime_error("cannot write a test WAV file");
    return samples;
}
