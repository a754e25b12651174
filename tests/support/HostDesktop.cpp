#include "support/HostDesktop.h"

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <vector>

QImage HostScreen() {
    QProcess import;
    import.start(QStringLiteral("import"), {"-window", "root", "png:-"});
    if (!import.waitForFinished(10000))
        return {};
    return QImage::fromData(import.readAllStandardOutput(), "PNG")
        .convertToFormat(QImage::Format_RGB32);
}

QImage SettledHostScreen() {
    QImage last = HostScreen();
    for (int attempt = 0; attempt < 20; ++attempt) {
        QTest::qWait(150);
        QImage next = HostScreen();
        if (next == last)
            return next;
        last = std::move(next);
    }
    return last;
}

void HostInput(const QStringList& args) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), args);
    if (!QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, 10000))
        ADD_FAILURE() << "xdotool did not finish";
}

namespace {

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

std::optional<QPoint> FindPicture(const QImage& screen, const QImage& picture, int tolerance) {
    const QImage pic = picture.convertToFormat(QImage::Format_RGB32);
    // Edges spread over the picture first: most places fail at the first,
    // and a plain area cannot pass. A few may differ (a caret blinked).
    // A plain dialog has few edges, and where they fall depends on the font.
    std::vector<QPoint> edges, anchors;
    for (int y = 1; y < pic.height(); y += 2)
        for (int x = y % 3; x + 1 < pic.width(); x += 3)
            if (!Near(pic.pixel(x, y), pic.pixel(x + 1, y), 40))
                edges.emplace_back(x, y);
    if (edges.size() < 8)
        return std::nullopt;
    for (std::size_t i = 0; i < 32; ++i)
        anchors.push_back(edges[i * edges.size() / 32]);
    const int allowedMisses = pic.width() * pic.height() / 50;
    for (int y = 0; y + pic.height() <= screen.height(); ++y)
        for (int x = 0; x + pic.width() <= screen.width(); ++x) {
            int anchorMisses = 0;
            for (const QPoint& a : anchors)
                if (!Near(screen.pixel(x + a.x(), y + a.y()), pic.pixel(a), tolerance) &&
                    ++anchorMisses > 2)
                    break;
            if (anchorMisses > 2)
                continue;
            int misses = 0;
            for (int j = 0; j < pic.height() && misses <= allowedMisses; ++j)
                for (int i = 0; i < pic.width(); ++i)
                    misses += !Near(screen.pixel(x + i, y + j), pic.pixel(i, j), tolerance);
            if (misses <= allowedMisses)
                return QPoint(x, y);
        }
    return std::nullopt;
}
