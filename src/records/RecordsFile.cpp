#include "records/RecordsFile.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr std::chrono::milliseconds RetryInterval(5);
constexpr std::chrono::seconds GiveUpAfter(3);

std::atomic<bool> NoEventLoop{false};
std::atomic<int> FilesTaken{0};
std::atomic<bool> Writing{false}; // a write runs beside the event loop

// Runs a safe file call; its system errors become the records' errors.
template <class F> auto RecordsIo(F&& call, bool reading = false) {
    try {
        return call();
    } catch (const std::system_error& e) {
        const int error = e.code().value();
        if (reading && error == EFBIG)
            throw ERecordsError("Records file is larger than " +
                                    std::to_string(MaxRecordsFileSize / (1024 * 1024)) + " MiB",
                                error);
        throw ERecordsError(SystemErrorText(error), error);
    }
}

// Waits one retry interval. On the main thread its event loop runs meanwhile,
// timers and painting included, user input held back; it sleeps there only
// once the application is quitting and no event loop runs any more.
void PauseBeforeRetry() {
    const QCoreApplication* const app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread() || NoEventLoop) {
        std::this_thread::sleep_for(RetryInterval);
        return;
    }
    QEventLoop loop;
    QTimer wake;
    wake.setSingleShot(true);
    QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
    wake.start(RetryInterval);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (wake.isActive()) // the application is quitting: no event loop runs any more
        std::this_thread::sleep_for(RetryInterval);
}

// Runs write on a thread of its own while the main thread's event loop
// runs, and that loop meanwhile: a sync waits for the disk, which other
// programs' unwritten data may keep busy for most of a second. The folder
// stays taken until the write is done, so the save stays one.
void WriteBesideEventLoop(const std::function<void()>& write) {
    const QCoreApplication* const app = QCoreApplication::instance();
    QThread* const thread = QThread::currentThread();
    if (!app || thread != app->thread() || thread->loopLevel() == 0 || NoEventLoop) {
        write();
        return;
    }
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread writer;
    Writing = true;
    try {
        writer = std::thread([&] {
            try {
                write();
            } catch (...) {
                failure = std::current_exception();
            }
            Writing = false;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        Writing = false;
        write(); // no thread to spare
        return;
    }
    loop.exec(QEventLoop::ExcludeUserInputEvents); // at once when the application is quitting
    writer.join();
    if (failure)
        std::rethrow_exception(failure);
}

// Reads straight into a QByteArray; its new room is left uninitialised.
TReadBuffer Into(QByteArray& bytes) {
    return [&bytes](std::size_t size) {
        bytes.resize(static_cast<qsizetype>(size));
        return bytes.data();
    };
}

} // namespace

std::string SystemErrorText(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return "File not found";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // a directory in the file's place, as the old file API reported it
    case ETXTBSY:
        return "File access denied";
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return "Invalid filename";
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return "Disk full";
    default:
        return "I/O error " + std::to_string(error);
    }
}

bool RecordsFileExists() {
    struct stat info {};
    if (::lstat(RecordsFileName, &info) != 0)
        return false;
    // A case-blind file system also finds "tarvin.tbr"; only a listing
    // tells the exact name. A folder that cannot be listed is taken at its word.
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("."), &::closedir);
    if (!dir)
        return true;
    while (const dirent* entry = ::readdir(dir.get()))
        if (std::strcmp(entry->d_name, RecordsFileName) == 0)
            return true;
    return false;
}

QByteArray ReadRecordsFile() {
    QByteArray bytes;
    RecordsIo([&] { ReadRegularFile(AT_FDCWD, RecordsFileName, MaxRecordsFileSize, Into(bytes)); },
              true);
    return bytes;
}

TRecordsUpdate::TRecordsUpdate() {
    using TClock = std::chrono::steady_clock;
    const TClock::time_point giveUp = TClock::now() + GiveUpAfter;
    while (!(File = RecordsIo([] { return TFileUpdate::TryBegin(RecordsFileName); }))) {
        if (TClock::now() >= giveUp)
            throw ERecordsError("Records file is in use by another game");
        PauseBeforeRetry();
    }
    ++FilesTaken;
}

TRecordsUpdate::~TRecordsUpdate() {
    --FilesTaken;
}

bool RecordsFileTaken() {
    return FilesTaken > 0;
}

void StopWaitingInEventLoop() {
    NoEventLoop = true;
    while (Writing) // a write beside the loop ends first: the new file or the old
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::optional<QByteArray> TRecordsUpdate::Read() const {
    QByteArray bytes;
    if (!RecordsIo([&] { return File->Read(MaxRecordsFileSize, Into(bytes)); }, true))
        return std::nullopt;
    return bytes;
}

void TRecordsUpdate::Replace(const QByteArray& bytes) {
    WriteBesideEventLoop([&] {
        RecordsIo([&] {
            File->Replace(
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        });
    });
}
