#include "records/RecordsFile.h"
#include "support/MainWindowFixture.h"
#include "support/ModalDriver.h"
#include "ui/GLSurface.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

namespace {

int PegFocusEvents = 0; // sent for the pegs, as a screen reader would get them
void CountPegFocus(QAccessibleEvent* event) {
    const QAccessibleInterface* target = event->accessibleInterface();
    PegFocusEvents +=
        event->type() == QAccessible::Focus && target && target->role() == QAccessible::ListItem;
}

class GameMenu : public MainWindowFixture {
protected:
    // Waits for a frame that the test asked for some other way than a key.
    void Redraw() {
        const int before = Frm->FramesSwapped();
        Frm->Invalidate();
        ASSERT_TRUE(WaitForFrameAfter(before));
    }

    // Puts four rings on peg 2 and carries the last one above it, so that
    // the next Space solves the puzzle.
    void OneMoveFromSolved() {
        for (int i = 0; i < RingCount; ++i) {
            Board.Rings[i].Peg = 2;
            Board.Rings[i].Position = i + 1;
            Board.Pegs[2].Sizes[i + 1] = RingCount - i;
        }
        Board.Pegs[0] = TPegState{0, 0, {0, 5, 4, 3, 2, 1}};
        Board.Pegs[2].Count = 4;
        Board.Pegs[2].TopSize = 2;
        Board.CarriedRing = 4;
        Board.SelectedPeg = 2;
        Board.PutMode = 0;
    }

    // Solves in one move and records the given name through the dialogs.
    void SolveAndRecord(const QString& name) {
        TFrmNameTarvin& entry = *Windows->FrmName;
        TFrmTable& table = *Windows->FrmTable;
        bool recorded = false;
        When([&] { return entry.isVisible(); },
             [&] {
                 entry.Edit1->setText(name);
                 When([&] { return table.isVisible(); },
                      [&] {
                          recorded = true;
                          QTest::mouseClick(table.BtnExit, Qt::LeftButton);
                      });
                 QTest::mouseClick(entry.Button1, Qt::LeftButton);
             });
        OneMoveFromSolved();
        ASSERT_NO_FATAL_FAILURE(Press(Qt::Key_Space));
        ASSERT_TRUE(recorded);
    }
};

TEST_F(GameMenu, NewGameDuringAMoveDropsTheCarriedRingHomeAndLiftsItAgainWithPutModeOff) {
    ShowWindow();
    Press(Qt::Key_Space); // lift ring 4
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    ASSERT_EQ(Board.CarriedRing, 4);
    ASSERT_EQ(Board.PutMode, 0);

    Frm->N2->trigger();
    EXPECT_EQ(Board.SelectedPeg, 0);
    EXPECT_EQ(Board.Pegs[0].Count, 5);
    EXPECT_EQ(Board.CarriedRing, NoRing);
    for (int i = 0; i < RingCount; ++i)
        EXPECT_EQ(Frm->Matrices.RingCurrent[i], Frm->Matrices.RingHome[i]);

    Redraw(); // PutMode is still 0: ring 4 comes straight back up
    EXPECT_EQ(Board.CarriedRing, 4);
    EXPECT_EQ(Board.Pegs[0].Count, 4);
    EXPECT_NE(Frm->Matrices.RingCurrent[4], Frm->Matrices.RingHome[4]);
}

TEST_F(GameMenu, NewGameDuringAGameZeroesTheClockButKeepsTheTimersPhase) {
    ShowWindow();
    Board.Clock = TGameClock{30, 2, 0};
    QTest::qWait(400);
    const int remaining = Frm->TimerGame->remainingTime();
    Frm->N2->trigger();
    EXPECT_EQ(TimeText(Board), "0 : 0 : 0");
    EXPECT_TRUE(Frm->TimerGame->isActive());
    EXPECT_LE(Frm->TimerGame->remainingTime(), remaining) << "the period was not restarted";
}

TEST_F(GameMenu, NewGameAfterASolveRearmsKeysSolvedTestAndAFullFirstSecond) {
    ShowWindow();
    ASSERT_NO_FATAL_FAILURE(SolveAndRecord(QStringLiteral("Первый")));
    ASSERT_EQ(Board.GameActive, 0);
    ASSERT_FALSE(Frm->TimerGame->isActive());

    Frm->N2->trigger();
    EXPECT_EQ(Board.GameActive, 1);
    EXPECT_TRUE(Frm->TimerGame->isActive());
    EXPECT_GT(Frm->TimerGame->remainingTime(), 900);
    EXPECT_EQ(TimeText(Board), "0 : 0 : 0");
    EXPECT_EQ(Board.Pegs[2].Count, 0);
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 1);

    // Second game in the same run: the solved test fires again.
    ASSERT_NO_FATAL_FAILURE(SolveAndRecord(QStringLiteral("Второй")));
    const TRecordsTable& records = Windows->FrmTable->Records();
    ASSERT_EQ(records.RowCount(), 4);
    EXPECT_EQ(records.Cell(0, 1), "Первый");
    EXPECT_EQ(records.Cell(0, 2), "Второй");
    EXPECT_EQ(records.Cell(0, 3), "");
    EXPECT_EQ(ReadFileBytes("Tarvin.tbr").count("\r\n"), 6);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(GameMenu, RecordsItemWakesUpWhenTheMenuOpensAfterTheFirstRecord) {
    ShowWindow();
    EXPECT_FALSE(Frm->N3->isEnabled());
    ASSERT_NO_FATAL_FAILURE(SolveAndRecord(QStringLiteral("Игрок")));
    EXPECT_FALSE(Frm->N3->isEnabled()) << "only opening the menu looks again";
    emit Frm->N1->aboutToShow();
    EXPECT_TRUE(Frm->N3->isEnabled());

    // The records item opens the records window, loaded from the file.
    bool shown = false;
    TFrmTable& table = *Windows->FrmTable;
    When([&] { return table.isVisible(); },
         [&] {
             shown = table.Records().Cell(0, 1) == "Игрок";
             QTest::mouseClick(table.BtnExit, Qt::LeftButton);
         });
    Frm->N3->trigger();
    EXPECT_TRUE(shown);
}

TEST_F(GameMenu, RecordsItemIsOnFromStartUpWhenTheFileExistsAndTheTableIsLoaded) {
    WriteFileBytes("Tarvin.tbr", " \xC0\xED\xFF\r\n 0 : 1 : 2\r\n \r\n \r\n");
    ShowWindow();
    EXPECT_TRUE(Frm->N3->isEnabled());
    EXPECT_EQ(Windows->FrmTable->Records().RowCount(), 3);
    EXPECT_EQ(Windows->FrmTable->Records().Cell(0, 1), "Аня");
}

TEST_F(GameMenu, RecordsOfAnActivationBeforeTheFirstFrameAreLoadedBeforeTheMenuOrTheExitUseThem) {
    WriteFileBytes("Tarvin.tbr", " \xC0\xED\xFF\r\n 0 : 1 : 2\r\n \r\n \r\n");
    for (const bool viaMenu : {true, false}) {
        SCOPED_TRACE(viaMenu ? "menu" : "exit");
        Windows = std::make_unique<TTarvinWindows>(Board);
        Frm = &Windows->FrmGL;
        // Some window managers activate the window before its first frame.
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(Frm, &activate);
        EXPECT_FALSE(Windows->FrmTable.has_value()) << "the dialogs wait for the first frame";
        if (viaMenu)
            emit Frm->N1->aboutToShow();
        else
            Frm->close();
        ASSERT_TRUE(Windows->FrmTable.has_value());
        EXPECT_EQ(Windows->FrmTable->Records().RowCount(), 3);
        EXPECT_EQ(Windows->FrmTable->Records().Cell(0, 1), "Аня");
        EXPECT_TRUE(Frm->N3->isEnabled());
    }
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(GameMenu, RecordsFileThatCannotBeReadIsStillReportedAtStartUpAndAgainAtExit) {
    ASSERT_TRUE(QDir().mkdir("Tarvin.tbr"));
    ShowWindow();
    EXPECT_EQ(Errors, QStringList{"File access denied."});
    EXPECT_TRUE(Frm->N3->isEnabled());
    QTest::keyClick(Frm->windowHandle(), Qt::Key_Escape);
    EXPECT_EQ(Errors, QStringList({"File access denied.", "File access denied."}));
}

TEST_F(GameMenu, ExitCommandAndCloseSaveTheRecordsEvenOnAFirstRun) {
    ShowWindow();
    Frm->N7->trigger();
    EXPECT_FALSE(Frm->isVisible());
    EXPECT_EQ(ReadFileBytes("Tarvin.tbr"), QByteArray(" \r\n \r\n"));
}

TEST_F(GameMenu, ClosingAWindowThatWasNeverActivatedKeepsTheRecords) {
    const QByteArray records(" \xC0\xED\xFF\r\n 0 : 1 : 2\r\n \r\n \r\n");
    WriteFileBytes("Tarvin.tbr", records);
    Frm->close(); // closed from the task bar before it ever got the focus
    EXPECT_EQ(ReadFileBytes("Tarvin.tbr"), records);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(GameMenu, FailingSaveAtExitIsReportedAndTheProgramStillEnds) {
    ShowWindow();
    ASSERT_TRUE(QDir().mkdir("Tarvin.tbr")); // nothing can be written there
    QTest::keyClick(Frm->windowHandle(), Qt::Key_Escape);
    EXPECT_FALSE(Frm->isVisible());
    EXPECT_EQ(Errors, QStringList{"File access denied."});
}

TEST_F(GameMenu, AboutBoxShowsItsTwentyLinesAndOnlyItsButtonClosesIt) {
    ShowWindow();
    TFrmAboutTarvin& about = *Windows->FrmAbout;
    EXPECT_EQ(about.windowTitle(), "Об игре");
    EXPECT_EQ(about.size(), QSize(280, 318));
    EXPECT_EQ(about.Label1->text(), "Игра \"Тарвин\"");
    EXPECT_TRUE(about.Label1->font().bold());
    EXPECT_EQ(about.Memo1->geometry(), QRect(10, 30, 261, 271));
    EXPECT_TRUE(about.Memo1->isReadOnly());
    const QStringList lines = about.Memo1->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 20);
    EXPECT_EQ(lines[4], "   Ограничения:");
    EXPECT_EQ(lines[7], "диаметром. Вот и вся хитрость. Дерзайте.");
    EXPECT_EQ(lines[9], "   Особое спасибо!");
    EXPECT_EQ(lines[14], "библиотек OpenGL32 и glu32  ");
    for (const int empty : {3, 8, 12, 15, 16, 18})
        EXPECT_TRUE(lines[empty].isEmpty()) << empty;
    EXPECT_TRUE(lines[17].startsWith("   ") && lines[19].startsWith("   "));
    EXPECT_EQ(about.Button1->text(), "Выход");
    EXPECT_EQ(about.Button1->geometry(), QRect(200, 290, 71, 21));

    bool survivedEscape = false;
    When([&] { return about.isVisible(); },
         [&] {
             // Every line fits the memo without scrolling, in the game's font.
             const QFontMetrics metrics(about.Memo1->font());
             const int margin = static_cast<int>(about.Memo1->document()->documentMargin());
             const QSize room = about.Memo1->viewport()->size() - QSize(2 * margin, 2 * margin);
             for (const QString& line : lines)
                 EXPECT_LE(metrics.horizontalAdvance(line), room.width()) << line.toStdString();
             EXPECT_LE(20 * metrics.lineSpacing(), room.height());
             QTest::keyClick(about.windowHandle(), Qt::Key_Escape);
             QTest::qWait(50);
             survivedEscape = about.isVisible();
             QTest::keyClick(about.windowHandle(), Qt::Key_Return); // the default button
         });
    Frm->N5->trigger();
    EXPECT_TRUE(survivedEscape);
    EXPECT_FALSE(about.isVisible());
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 1) << "the keyboard is back with the game";
}

} // namespace

// The menu closes as its item begins: the peg waits for a dialog the item may open.
TEST_F(GameMenu, BackFromTheMenuThePegWaitsForTheDialogAnItemMayOpen) {
    ShowWindow();
    auto* const platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
    ASSERT_TRUE(platform);
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(CountPegFocus);
    platform->setActive(true); // as a screen reader turns it on
    QTest::keyClick(Frm->windowHandle(), Qt::Key_F10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); })); // what follows restores
    const int before = PegFocusEvents;
    QTest::keyClick(Frm->N1, Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_EQ(PegFocusEvents, before) << "told before a dialog would be up";
    EXPECT_TRUE(QTest::qWaitFor([&] { return PegFocusEvents > before; }, 1000)) << "never told";
    platform->setActive(false);
    QAccessible::installUpdateHandler(previous);
}
