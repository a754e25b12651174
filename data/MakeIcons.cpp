// Writes the game's icon at the sizes a desktop asks for: the 16 x 16 design
// the program shows, read with the same image reader, each pixel repeated as
// a square block, so every size is the same drawing.
// Usage: make_icons ICON.xpm OUTPUT_FOLDER SIZE...

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: make_icons ICON.xpm OUTPUT_FOLDER SIZE...\n");
        return 2;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    if (icon.isNull() || icon.width() != icon.height()) {
        std::fprintf(stderr, "make_icons: cannot read a square image from %s\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        if (size <= 0 || size % icon.width() != 0) {
            std::fprintf(stderr, "make_icons: %s is not a whole multiple of %d\n", argv[i],
                         icon.width());
            return 1;
        }
        const QString name = out.filePath(QStringLiteral("%1.png").arg(size));
        // FastTransformation is nearest neighbour: whole factors stay crisp.
        if (!icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                 .convertToFormat(QImage::Format_RGB32)
                 .save(name, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
