#include "dialogs/ErrorBox.h"
#include "files/SafeFile.h"
#include "records/RecordsFile.h"
#include "recordswindows/FrmNameTarvin.h"
#include "recordswindows/FrmTable.h"

#include "support/ModalDriver.h"
#include "support/QtTestMain.h"
#include "support/TempWorkDir.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

// A disk busy with other programs' data: each sync waits this long first.
static std::atomic<int> SyncDelayMs{0};
extern "C" int fsync(int fd) {
    std::this_thread::sleep_for(std::chrono::milliseconds(SyncDelayMs.load()));
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
extern "C" int fdatasync(int fd) {
    std::this_thread::sleep_for(std::chrono::milliseconds(SyncDelayMs.load()));
    return static_cast<int>(::syscall(SYS_fdatasync, fd));
}

namespace {

void Paste(QLineEdit* edit, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    edit->paste();
}

// Both dialogs over a main window, in a fresh working directory, with the
// error box replaced by a list.
class RecordsDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        TARVIN_NEEDS_DISPLAY();
        PreviousSink = SetErrorSink([this](const QString& text) {
            Errors << text;
            ModalAtError = QApplication::activeModalWidget();
        });
    }
    void TearDown() override { SetErrorSink(std::move(PreviousSink)); }

    QString Grid(int row, int col) const {
        const QAbstractItemModel* model = Table.TableGrid->model();
        return model->data(model->index(row, col)).toString();
    }
    int GridRows() const { return Table.TableGrid->model()->rowCount(); }

    TTempWorkDir Dir;
    QWidget Main;
    TFrmTable Table{&Main};
    TFrmNameTarvin Name{&Main, Table};
    QStringList Errors;
    QWidget* ModalAtError = nullptr; // the modal window up when the last error came

private:
    TErrorSink PreviousSink;
};

} // namespace

TEST_F(RecordsDialogs, NameBoxTakesTwentyCharactersOfOneLine) {
    Name.show();
    QLineEdit* const edit = Name.Edit1;
    edit->clear();
    QTest::keyClicks(edit, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(edit->text(), QStringLiteral("abcdefghijklmnopqrst"));
    edit->setSelection(0, 3); // a replaced selection makes room
    TypeText(edit, QStringLiteral("Ж"));
    EXPECT_EQ(edit->text(), QStringLiteral("Жdefghijklmnopqrst"));

    edit->setCursorPosition(1);
    Paste(edit, QStringLiteral("12345"));
    EXPECT_EQ(edit->text(), QStringLiteral("Ж12defghijklmnopqrst"));
    EXPECT_EQ(edit->cursorPosition(), 3);

    edit->clear();
    Paste(edit, QStringLiteral("Ана\tлиз\x01\r\nвторая строка"));
    EXPECT_EQ(edit->text(), QStringLiteral("Анализ"));
    edit->setCursorPosition(2); // in the middle, what follows the cursor stays
    Paste(edit, QStringLiteral("-\r\nдва"));
    EXPECT_EQ(edit->text(), QStringLiteral("Ан-ализ"));
    EXPECT_EQ(edit->cursorPosition(), 3);
    edit->clear();
    Paste(edit, QStringLiteral("中ÀЁж\x1A😀\u2028next")); // not in the code page, or breaks
    EXPECT_EQ(edit->text(), QStringLiteral("Ёж"));
    // Refused characters go before the limit applies: the name survives them.
    edit->clear();
    Paste(edit, QString(25, '\t') + QStringLiteral("\r\n\r\nВасилий\nвторая"));
    EXPECT_EQ(edit->text(), QStringLiteral("Василий"));
}

// What a screen reader asks of the name field. The word at the very end is
// asked for after Ctrl+Right; Qt 6.4 and 6.8 by themselves never answer it.
TEST_F(RecordsDialogs, NameFieldAnswersAScreenReaderToTheEnd) {
    Name.Edit1->setText(QStringLiteral("Игрок"));
    Name.Edit1->selectAll();
    QAccessibleInterface* const field = QAccessible::queryAccessibleInterface(Name.Edit1);
    ASSERT_TRUE(field && field->textInterface() && field->editableTextInterface());
    QAccessibleTextInterface& text = *field->textInterface();
    int start = 0, end = 0;
    text.selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(0, 5));
    for (const auto boundary : {QAccessible::WordBoundary, QAccessible::SentenceBoundary}) {
        EXPECT_EQ(text.textAtOffset(0, boundary, &start, &end), QStringLiteral("Игрок"));
        EXPECT_EQ(text.textAtOffset(5, boundary, &start, &end), QString());
    }
    text.attributes(2, &start, &end); // one run: all of the text in one language
    EXPECT_EQ(std::pair(start, end), std::pair(0, 5));
    field->editableTextInterface()->insertText(5, QStringLiteral("\t1\n2"));
    EXPECT_EQ(Name.Edit1->text(), QStringLiteral("Игрок1")) << "past the name's rules";
}

TEST_F(RecordsDialogs, NameEntryRecordsAndShowsTheTable) {
    WriteFileBytes(RecordsFileName, " Anna\r\n 0 : 5 : 0\r\n \r\n \r\n");
    Table.LoadRecordsFile(); // as the main window does at start-up
    bool tableSeen = false;
    When([&] { return Name.isVisible(); },
         [&] {
             QLineEdit* const edit = Name.Edit1;
             EXPECT_EQ(Name.focusWidget(), edit);
             QTest::keyClick(edit, Qt::Key_Escape);
             EXPECT_TRUE(Name.isVisible()) << "Escape must do nothing";
             TypeText(edit, QStringLiteral("Пётр Ё")); // replaces the selected suggestion
             When([&] { return Table.isVisible(); },
                  [&] {
                      tableSeen = true;
                      EXPECT_TRUE(Name.isVisible()) << "stays up under the table";
                      QTest::keyClick(Table.TableGrid, Qt::Key_Escape);
                      EXPECT_TRUE(Table.isVisible()) << "Escape must do nothing";
                      EXPECT_EQ(GridRows(), 3);
                      EXPECT_EQ(Grid(1, 0), QStringLiteral("Пётр Ё"));
                      EXPECT_EQ(Grid(1, 1), QStringLiteral("0 : 2 : 7"));
                      EXPECT_EQ(Table.focusWidget(), Table.BtnExit);
                      QTest::keyClick(Table.BtnExit, Qt::Key_Return);
                  });
             QTest::keyClick(edit, Qt::Key_Return); // the default button
         });
    Name.BeginNameEntry("0 : 2 : 7");

    EXPECT_TRUE(tableSeen);
    EXPECT_FALSE(Name.isVisible());
    EXPECT_FALSE(Table.isVisible());
    EXPECT_EQ(
        ReadFileBytes(RecordsFileName),
        QByteArray(" Anna\r\n 0 : 5 : 0\r\n \xCF\xB8\xF2\xF0 \xA8\r\n 0 : 2 : 7\r\n \r\n \r\n"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join(' ').toStdString();
}

TEST_F(RecordsDialogs, TwoGamesInOneFolderBothKeepTheirEntries) {
    // Game B started along with this one, before either recorded anything.
    TFrmTable tableB{&Main};
    TFrmNameTarvin nameB{&Main, tableB};
    const auto record = [&](TFrmNameTarvin& name, TFrmTable& table, const QString& who) {
        When([&] { return name.isVisible(); },
             [&] {
                 name.Edit1->setText(who);
                 When([&] { return table.isVisible(); }, [&] { table.close(); });
                 QTest::mouseClick(name.Button1, Qt::LeftButton);
             });
        name.BeginNameEntry("0 : 0 : 5");
    };
    record(Name, Table, QStringLiteral("Анна"));
    record(nameB, tableB, QStringLiteral("Борис"));
    EXPECT_EQ(ReadFileBytes(RecordsFileName),
              QByteArray(" \xC0\xED\xED\xE0\r\n 0 : 0 : 5\r\n \xC1\xEE\xF0\xE8\xF1\r\n 0 : 0 : "
                         "5\r\n \r\n \r\n"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join(' ').toStdString();
}

TEST_F(RecordsDialogs, CloseButtonRecordsNothing) {
    When([&] { return Name.isVisible(); }, [&] { Name.close(); });
    Name.BeginNameEntry("0 : 0 : 1");
    EXPECT_FALSE(RecordsFileExists());
    EXPECT_EQ(Table.Records().RowCount(), 2);
}

TEST_F(RecordsDialogs, FailedSaveIsReportedAndTheDialogCloses) {
    ASSERT_TRUE(QDir().mkdir(RecordsFileName));
    When([&] { return Name.isVisible(); },
         [&] { QTest::mouseClick(Name.Button1, Qt::LeftButton); });
    Name.BeginNameEntry("0 : 0 : 9");
    EXPECT_FALSE(Name.isVisible());
    EXPECT_EQ(Errors, QStringList{QStringLiteral("File access denied.")});
    EXPECT_TRUE(QFileInfo(RecordsFileName).isDir());
}

TEST_F(RecordsDialogs, GridScrollsAndClears) {
    QByteArray bytes;
    for (int i = 1; i <= 20; ++i)
        bytes += " Player " + QByteArray::number(i) + "\r\n 0 : 0 : 1\r\n";
    WriteFileBytes(RecordsFileName, bytes);
    bool stayed = false;
    When([&] { return Table.isVisible(); },
         [&] {
             QTableView* const grid = Table.TableGrid;
             EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(),
                       QStringLiteral("Время"));
             EXPECT_GE(grid->viewport()->height() / grid->rowHeight(0), 6);
             EXPECT_EQ(GridRows(), 20);
             grid->scrollTo(grid->model()->index(19, 0));
             EXPECT_GT(grid->verticalScrollBar()->value(), 0) << "scrolls without a bar";

             QTest::mouseClick(Table.BtnClear, Qt::LeftButton);
             EXPECT_EQ(GridRows(), 1);
             EXPECT_EQ(Grid(0, 0), QString());
             QTest::qWait(20);
             stayed = Table.isVisible();
             QTest::mouseClick(Table.BtnExit, Qt::LeftButton);
         });
    Table.ShowModal();
    EXPECT_TRUE(stayed);
    EXPECT_EQ(ReadFileBytes(RecordsFileName), QByteArray("\x20\r\n\x20\r\n"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join(' ').toStdString();
}

TEST_F(RecordsDialogs, LoadErrorIsShownOverTheOpenTable) {
    ASSERT_TRUE(QDir().mkdir(RecordsFileName));
    When([&] { return !Errors.isEmpty(); }, [&] { Table.close(); });
    Table.ShowModal();
    EXPECT_EQ(ModalAtError, &Table) << "the box must come up over the open window";
    EXPECT_EQ(Errors, QStringList{QStringLiteral("File access denied.")});
}

// Mended: the save slept on the GUI thread for up to 3 s while another game
// held the file, then synced there, which a busy disk makes take most of a
// second: the window froze and the clock lost seconds.
TEST_F(RecordsDialogs,
       SaveWhileAnotherGameHoldsTheFileOrTheDiskIsBusyKeepsTheWindowAndTheClockGoing) {
    TFd otherGame(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_EQ(::flock(otherGame.Get(), LOCK_EX), 0);
    QTimer::singleShot(1500, [&] { otherGame = TFd(); }); // it is done after 1.5 s
    SyncDelayMs = 300;
    QElapsedTimer took, sinceTick;
    qint64 longest = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout,
                     [&] { longest = std::max(longest, sinceTick.restart()); });
    QTimer::singleShot(0, [&] {
        took.start(), sinceTick.start(), clock.start(5);
        Table.SaveRecordsFile(); // in a handler, as the game saves
        longest = std::max(longest, sinceTick.elapsed());
        QCoreApplication::exit();
    });
    QCoreApplication::exec();
    SyncDelayMs = 0;
    EXPECT_GE(took.elapsed(), 2000)
        << "saved while the other game held the file, or synced at once";
    EXPECT_LT(longest, 100) << "the window froze while the save waited";
    EXPECT_EQ(ReadFileBytes(RecordsFileName), QByteArray(" \r\n \r\n"));
}
