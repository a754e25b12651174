#pragma once

#include <QDir>
#include <QTemporaryDir>

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

// Writes a small valid WAV file (8-bit mono, 8 kHz, a few milliseconds).
void WriteTestWav(const QString& path, int frequency = 8000);
