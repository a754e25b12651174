#include "records/RecordsFile.h"
#include "support/MainWindowFixture.h"
#include "support/ModalDriver.h"
#include "ui/GLSurface.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <utility>
#include <vector>

namespace {

class GameFlow : public MainWindowFixture {
protected:
    void Select(int peg) {
        while (Board.SelectedPeg != peg)
            ASSERT_NO_FATAL_FAILURE(Press(Qt::Key_Right));
    }

    // Plays the whole solution with the keyboard, one ring move at a time.
    void SolveOnto(int target) {
        std::vector<std::pair<int, int>> moves;
        const auto hanoi = [&](auto&& self, int n, int from, int to, int via) -> void {
            if (n == 0)
                return;
            self(self, n - 1, from, via, to);
            moves.emplace_back(from, to);
            self(self, n - 1, via, to, from);
        };
        hanoi(hanoi, RingCount, 0, target, 3 - target);
        ASSERT_EQ(moves.size(), 31u);
        for (const auto& [from, to] : moves) {
            ASSERT_NO_FATAL_FAILURE(Select(from));
            ASSERT_NO_FATAL_FAILURE(Press(Qt::Key_Space));
            ASSERT_EQ(Board.PutMode, 0);
            ASSERT_NO_FATAL_FAILURE(Select(to));
            ASSERT_NO_FATAL_FAILURE(Press(Qt::Key_Space));
        }
    }

    static QImage Screenshot(const TFrmGL& frm) {
        return frm.screen()->grabWindow(frm.Surface->winId()).toImage();
    }
};

TEST_F(GameFlow, FirstFrameShowsFiveRingsOnTheRedLeftPegAndWhitePlates) {
    ShowWindow();
    QTest::qWait(100);
    const QImage shot = Screenshot(*Frm);
    ASSERT_EQ(shot.size(), QSize(300, 281));
    // Scene x maps to pixels at 300 / 10.6 per unit, centred; the camera
    // tilts the pegs back, so their tops are higher up the picture.
    const auto pixel = [&](double sceneX, int row) {
        return shot.pixelColor(static_cast<int>(150 + sceneX * 300 / 10.6), row);
    };
    // Rod tops, above the rings: peg 0 reddish, pegs 1 and 2 grey.
    const int rodTop = 97;
    const QColor left = pixel(-3, rodTop), middle = pixel(0, rodTop), right = pixel(3, rodTop);
    EXPECT_GT(left.red(), left.green() + 40) << left.name().toStdString();
    for (const QColor& grey : {middle, right}) {
        EXPECT_NEAR(grey.red(), grey.green(), 8) << grey.name().toStdString();
        EXPECT_GT(grey.red(), 60);
    }
    // Plates in front of the pegs: neutral and bright.
    const QColor plate = pixel(0, 212);
    EXPECT_NEAR(plate.red(), plate.blue(), 8) << plate.name().toStdString();
    EXPECT_GT(plate.red(), 100);
    // Rings on peg 0: orange, red above 1 so clamped to full.
    const QColor ring = pixel(-3, 170);
    EXPECT_GT(ring.red(), 200) << ring.name().toStdString();
    EXPECT_LT(ring.blue(), ring.red());
    // Nothing on the other pegs at the same height but their rods.
    EXPECT_LT(pixel(1.0, 170).red(), 20);
    // Black background.
    EXPECT_EQ(pixel(-5, 10), QColor(Qt::black));
}

TEST_F(GameFlow, SolvedByKeysPlaysTheSolvedCueFreezesTheClockAndIgnoresKeys) {
    ShowWindow();
    bool asked = false;
    int framesDuringEntry = -1, framesBeforeEntry = 0;
    When([&] { return Windows->FrmName->isVisible(); },
         [&] {
             asked = true;
             // A repaint asked for while the solving frame waits for the name
             // must not start a frame inside it.
             framesBeforeEntry = Frm->FramesSwapped();
             Frm->Invalidate();
             QTest::qWait(100);
             framesDuringEntry = Frm->FramesSwapped();
             Windows->FrmName->close();
         });
    ASSERT_NO_FATAL_FAILURE(SolveOnto(2));
    EXPECT_TRUE(asked) << "the name entry opened";
    EXPECT_EQ(framesDuringEntry, framesBeforeEntry);
    EXPECT_TRUE(WaitForFrameAfter(framesBeforeEntry + 1)) << "the repaint runs afterwards";
    EXPECT_EQ(Board.Pegs[2].Count, 5);
    EXPECT_EQ(Board.GameActive, 0);
    EXPECT_EQ(Frm->MP.FileName(), "Dizo5.wav");
    EXPECT_FALSE(Frm->TimerGame->isActive());
    const std::string frozen = TimeText(Board);
    QTest::qWait(1100);
    EXPECT_EQ(TimeText(Board), frozen);

    Press(Qt::Key_Left);
    Press(Qt::Key_Space);
    EXPECT_EQ(Board.SelectedPeg, 2);
    EXPECT_EQ(Board.PutMode, 1);
    EXPECT_FALSE(QFile::exists("Tarvin.tbr")) << "closing the entry records nothing";
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(GameFlow, SolvedGameRecordsTheTypedNameAndTheTimeOfTheSolve) {
    ShowWindow();
    QString shownName, shownTime;
    bool entryStillUp = false;
    TFrmNameTarvin& entry = *Windows->FrmName;
    TFrmTable& table = *Windows->FrmTable;
    When([&] { return entry.isVisible(); },
         [&] {
             EXPECT_EQ(entry.Edit1->text(), "Игрок");
             QTest::qWait(1100); // the clock must not move on while the name is typed
             TypeText(entry.Edit1, QStringLiteral("Вася"));
             When([&] { return table.isVisible(); },
                  [&] {
                      // The header is not a grid row.
                      const QAbstractItemModel* grid = table.TableGrid->model();
                      shownName = grid->index(0, 0).data().toString();
                      shownTime = grid->index(0, 1).data().toString();
                      entryStillUp = entry.isVisible();
                      QTest::mouseClick(table.BtnExit, Qt::LeftButton);
                  });
             QTest::mouseClick(entry.Button1, Qt::LeftButton);
         });
    ASSERT_NO_FATAL_FAILURE(SolveOnto(1));
    const QString solvedAt = QString::fromStdString(TimeText(Board));

    EXPECT_EQ(shownName, "Вася");
    EXPECT_EQ(shownTime, solvedAt);
    EXPECT_TRUE(entryStillUp) << "the entry stays up under the records window";
    EXPECT_FALSE(entry.isVisible());
    EXPECT_FALSE(table.isVisible());
    EXPECT_EQ(ReadFileBytes("Tarvin.tbr"), QByteArray("\x20\xC2\xE0\xF1\xFF\r\n\x20") +
                                               solvedAt.toLatin1() +
                                               QByteArray("\r\n\x20\r\n\x20\r\n"));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();

    // Keys reach the game again once both dialogs are gone.
    Frm->NewGameClick();
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 1);
}

} // namespace
