#pragma once

#include <QDir>
#include <QTemporaryDir>

class QWidget;

#include <cstdint>
#include <string>

// Switches the working directory to a fresh empty folder for one test and
// back afterwards: the game reads and writes its files there.
class TTempWorkDir {
public:
    TTempWorkDir();
    ~TTempWorkDir();
    QString Path(const QString& name) const { return Dir.filePath(name); }

private:
    QTemporaryDir Dir;
    QString Previous;
};

// A file's whole content; "<unreadable>" when it cannot be read.
QByteArray ReadFileBytes(const QString& path);
// Replaces a file's content; throws when it cannot.
void WriteFileBytes(const QString& path, const QByteArray& bytes);

// Types text into a widget as a keyboard would, Cyrillic included
// (QTest::keyClicks only types Latin-1).
void TypeText(QWidget* widget, const QString& text);

// Writes an 8-bit mono WAV file; returns its length in samples (= bytes).
// Long ones outlast a test step on the silent driver, which plays in real time.
std::uint32_t WriteTestWav(const QString& path, int rate = 8000, double seconds = 0.01);
