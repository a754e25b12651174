// Loading a big records file and showing it in the records window.
// Target: 100 000 entries loaded and on screen within 0.3 s.

#include "dialogs/ErrorBox.h"
#include "records/RecordsFile.h"
#include "records/RecordsStore.h"
#include "recordsformat/RecordsTable.h"
#include "recordswindows/FrmTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int Pairs = 100000;

// A working directory holding a records file of this many entries.
class TBigRecordsFile {
public:
    explicit TBigRecordsFile(int pairs = Pairs) : Previous(QDir::currentPath()) {
        QByteArray bytes;
        bytes.reserve(pairs * 24);
        for (int i = 0; i < pairs; ++i)
            bytes += " \xC8\xE3\xF0\xEE\xEA " + QByteArray::number(i) + "\r\n 0 : 2 : 7\r\n";
        bytes += " \r\n \r\n";
        QDir::setCurrent(Dir.path());
        QFile file(RecordsFileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            std::abort();
    }
    ~TBigRecordsFile() { QDir::setCurrent(Previous); }

private:
    QTemporaryDir Dir;
    QString Previous;
};

void BM_LoadRecords(benchmark::State& state) {
    TBigRecordsFile file;
    TRecordsTable table;
    TRecordsStore store(table);
    for (auto _ : state) {
        store.Load();
        benchmark::DoNotOptimize(table.RowCount());
    }
    state.counters["rows"] = table.RowCount();
}
BENCHMARK(BM_LoadRecords)->Unit(benchmark::kMillisecond);

// The main window saves at exit: the file read and compared under the lock,
// then the whole table written, synced and renamed into place.
void BM_SaveRecords(benchmark::State& state) {
    TBigRecordsFile file;
    TRecordsTable table;
    TRecordsStore store(table);
    store.Load();
    for (auto _ : state)
        store.Save();
    state.counters["rows"] = table.RowCount();
}
BENCHMARK(BM_SaveRecords)->Unit(benchmark::kMillisecond);

// What start-up meets in a hostile working directory: each is refused
// without being read or waited on.
void BM_RefuseHostileFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    bool made = false;
    switch (state.range(0)) {
    case 0: // 200 MB, sparse
        made = QFile(RecordsFileName).open(QIODevice::WriteOnly) &&
               ::truncate(RecordsFileName, 200 * 1000 * 1000) == 0;
        state.SetLabel("200 MB file");
        break;
    case 1:
        made = ::mkfifo(RecordsFileName, 0644) == 0;
        state.SetLabel("FIFO");
        break;
    default:
        made = ::symlink("/dev/zero", RecordsFileName) == 0;
        state.SetLabel("link to /dev/zero");
        break;
    }
    if (!made)
        state.SkipWithError("cannot make the file");
    TRecordsTable table;
    TRecordsStore store(table);
    for (auto _ : state) {
        try {
            store.Load();
            state.SkipWithError("was read");
            break;
        } catch (const ERecordsError&) {
        }
    }
    QDir::setCurrent(previous);
}
BENCHMARK(BM_RefuseHostileFile)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

// A save (of a table of 20 entries) while another game holds the records
// file for 200 ms: the longest time the main thread's event loop stood still
// meanwhile, seen by a 1 ms timer. The save itself goes through once the
// other game lets go.
void BM_SaveWhileAnotherGameHoldsTheLock(benchmark::State& state) {
    if (!qApp) {
        state.SkipWithError("no display");
        return;
    }
    TBigRecordsFile file(20);
    TRecordsTable table;
    TRecordsStore store(table);
    store.Load();
    qint64 longest = 0;
    for (auto _ : state) {
        TFd otherGame(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (::flock(otherGame.Get(), LOCK_EX) != 0)
            state.SkipWithError("cannot take the lock");
        QTimer::singleShot(200, [&otherGame] { otherGame = TFd(); });
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.nsecsElapsed());
            sinceTick.restart();
        });
        ticker.start(1);
        sinceTick.start();
        store.Save();
        longest = std::max(longest, sinceTick.nsecsElapsed());
    }
    state.counters["longest_stall_ms"] = static_cast<double>(longest) / 1e6;
}
BENCHMARK(BM_SaveWhileAnotherGameHoldsTheLock)->Unit(benchmark::kMillisecond)->Iterations(5);

// Showing the window runs the load; the grid's first paint is included.
void BM_ShowRecordsWindow(benchmark::State& state) {
    if (!qApp) {
        state.SkipWithError("no display");
        return;
    }
    TBigRecordsFile file;
    SetErrorSink([&state](const QString& text) { state.SkipWithError(text.toUtf8().constData()); });
    TFrmTable window(nullptr);
    for (auto _ : state) {
        window.show();
        window.TableGrid->viewport()->repaint();
        QApplication::processEvents();
        state.PauseTiming();
        window.hide();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["rows"] = window.TableGrid->model()->rowCount();
    SetErrorSink({});
}
BENCHMARK(BM_ShowRecordsWindow)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QApplication> app;
    if (const char* display = std::getenv("DISPLAY"); display && *display)
        app = std::make_unique<QApplication>(argc, argv);
    else
        std::fprintf(stderr, "No display: only the load is measured.\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
