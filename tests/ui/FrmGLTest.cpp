#include "support/MainWindowFixture.h"
#include "ui/GLSurface.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <GL/gl.h>

namespace {

using MainWindow = MainWindowFixture;

TEST_F(MainWindow, HasItsCaptionFixedSceneSizeAndNoMaximizeButton) {
    ShowWindow();
    EXPECT_EQ(Frm->windowTitle(), "Тарвин");
    EXPECT_EQ(Frm->Scene->size(), QSize(300, 281));
    EXPECT_EQ(Frm->Surface->size(), QSize(300, 281));
    EXPECT_EQ(Frm->minimumSize(), Frm->maximumSize());
    EXPECT_EQ(Frm->height(), 281 + Frm->MainMenu1->height());
    const Qt::WindowFlags flags = Frm->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
}

TEST_F(MainWindow, IconIsTheRedLettersGAndLOnBlack) {
    // clang-format off
    const QStringList design = {
        "................",
        "................",
        "................",
        "..........##....",
        "..........##....",
        "..####....##....",
        ".##..##...##....",
        ".##..##...##....",
        ".##..##...##....",
        "..#####...##....",
        ".....##...##....",
        ".....##...##....",
        ".##..##...######",
        "..####....######",
        "................",
        "................",
    };
    // clang-format on
    const QImage icon = Frm->windowIcon().pixmap(QSize(16, 16), 1.0).toImage();
    ASSERT_EQ(icon.size(), QSize(16, 16));
    QStringList drawn; // '#' pure red, '.' black, '?' anything else
    for (int y = 0; y < 16; ++y) {
        QString row;
        for (int x = 0; x < 16; ++x) {
            const QRgb pixel = icon.pixel(x, y);
            row += pixel == qRgb(255, 0, 0) ? '#' : pixel == qRgb(0, 0, 0) ? '.' : '?';
        }
        drawn << row;
    }
    EXPECT_EQ(drawn.join('\n'), design.join('\n'));
}

TEST_F(MainWindow, SceneSurfaceHasTheDepthBufferTheDepthTestNeeds) {
    ShowWindow();
    Frm->Surface->MakeCurrent();
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);
}

TEST_F(MainWindow, GameMenuHoldsItsItemsWithRecordsDisabledAtStart) {
    EXPECT_EQ(Frm->N1->title(), "Игра");
    const QList<QAction*> items = Frm->N1->actions();
    ASSERT_EQ(items.size(), 6);
    const QList<QAction*> expected = {Frm->N2, Frm->N3, Frm->N4, Frm->N5, Frm->N6, Frm->N7};
    EXPECT_EQ(items, expected);
    EXPECT_EQ(Frm->N2->text(), "Новая");
    EXPECT_EQ(Frm->N3->text(), "Таблица рекордов");
    EXPECT_TRUE(Frm->N4->isSeparator());
    EXPECT_EQ(Frm->N5->text(), "Об игре");
    EXPECT_TRUE(Frm->N6->isSeparator());
    EXPECT_EQ(Frm->N7->text(), "ВЫХОД");
    EXPECT_FALSE(Frm->N3->isEnabled());
    EXPECT_TRUE(Frm->N2->isEnabled());
}

TEST_F(MainWindow, ArrowsWrapAroundWithTheSelectionCueAndSpaceTogglesTheIntent) {
    ShowWindow();
    Press(Qt::Key_Left);
    EXPECT_EQ(Board.SelectedPeg, 2);
    EXPECT_EQ(Frm->MP.FileName(), "Dizo2.wav");
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 0);
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 2);
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 0);

    const int framesBefore = Frm->FramesSwapped();
    Press(Qt::Key_Space); // PutMode 1 -> 0: the next frame lifts ring 4
    EXPECT_GT(Frm->FramesSwapped(), framesBefore);
    EXPECT_EQ(Board.CarriedRing, 4);
    EXPECT_EQ(Frm->MP.FileName(), "Dizo1.wav");
    Press(Qt::Key_Up);
    Press(Qt::Key_Down);
    EXPECT_EQ(Board.SelectedPeg, 0);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(MainWindow, KeysAreIgnoredWhenTheGameIsOverButEscapeStillCloses) {
    ShowWindow();
    Board.GameActive = 0;
    Press(Qt::Key_Left);
    Press(Qt::Key_Right);
    Press(Qt::Key_Space);
    EXPECT_EQ(Board.SelectedPeg, 0);
    EXPECT_EQ(Board.PutMode, 1);
    EXPECT_EQ(Frm->MP.FileName(), "");
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Frm->isVisible());
}

TEST_F(MainWindow, MissingCueIsReportedAndTheSelectionStillMoves) {
    ShowWindow();
    QFile::remove(Dir->Path("Dizo2.wav"));
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 1);
    // Told by the player's thread while SDL is still being loaded.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Errors.isEmpty(); }, 5000));
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].endsWith('.'));
}

TEST_F(MainWindow, KeysStillArriveAfterTheMenuWasUsedWithMouseOrKeyboard) {
    ShowWindow();
    const QPoint menuItem = Frm->MainMenu1->actionGeometry(Frm->N1->menuAction()).center();

    // Opened with the mouse, closed with Escape.
    QTest::mouseClick(Frm->MainMenu1, Qt::LeftButton, {}, menuItem);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 2000));
    QTest::keyClick(Frm->N1->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 2000));
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 1);

    // Opened with the mouse, closed by clicking the menu bar again.
    QTest::mouseClick(Frm->MainMenu1, Qt::LeftButton, {}, menuItem);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 2000));
    QTest::mouseClick(Frm->MainMenu1, Qt::LeftButton, {}, menuItem);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 2000));
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 2);

    // A command chosen with the keyboard, then back to the game.
    QTest::mouseClick(Frm->MainMenu1, Qt::LeftButton, {}, menuItem);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 2000));
    QTest::keyClick(Frm->N1->windowHandle(), Qt::Key_Down); // "Новая"
    QTest::keyClick(Frm->N1->windowHandle(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(Board.SelectedPeg, 0) << "New game was chosen";
    Press(Qt::Key_Left);
    EXPECT_EQ(Board.SelectedPeg, 2);

    // A click in the scene keeps the keyboard on the game.
    QTest::mouseClick(Frm->windowHandle(), Qt::LeftButton, {}, Frm->Scene->geometry().center());
    Press(Qt::Key_Left);
    EXPECT_EQ(Board.SelectedPeg, 1);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(MainWindow, RingWhosePutDownCueFailedIsDrawnOnItsPegAndTheErrorShownOnce) {
    ShowWindow();
    Press(Qt::Key_Space); // lift ring 4
    Press(Qt::Key_Left);  // over peg 2
    QFile::remove(Dir->Path("Dizo3.wav"));
    QTest::keyClick(Frm->windowHandle(), Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Errors.isEmpty(); }, 5000));
    EXPECT_EQ(Board.Rings[4].Peg, 2);
    EXPECT_EQ(Board.CarriedRing, NoRing);

    const int frames = Frm->FramesSwapped();
    Frm->Invalidate();
    ASSERT_TRUE(WaitForFrameAfter(frames));
    for (int k = 0; k < 16; ++k)
        EXPECT_NEAR(Frm->Matrices.RingCurrent[4][k], Frm->Matrices.PegMatrix[2][k], 1e-5);
    EXPECT_EQ(Errors.size(), 1);
}

TEST_F(MainWindow, WithoutASoundDeviceThePlayerIsToldOnceAndPlaysOnSilently) {
    setenv("SDL_AUDIODRIVER", "no-such-sound-system", 1);
    ShowWindow();
    // The keys go on while SDL is loaded and the device tried, however long
    // a busy machine takes; the first cue after that tells the player.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Press(Qt::Key_Right);
            return !Errors.isEmpty();
        },
        5000));
    Press(Qt::Key_Space);
    Frm->NewGameClick(); // tries the device again, silently
    Press(Qt::Key_Left);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(Board.SelectedPeg, 2);
    // The device is opened by the player's own thread: its error comes when it comes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Errors.isEmpty(); }, 5000));
    ASSERT_EQ(Errors.size(), 1) << Errors.join("; ").toStdString();
    EXPECT_TRUE(Errors[0].contains("no-such-sound-system")) << Errors[0].toStdString();
    QFile::remove(Dir->Path("Dizo2.wav"));
    Press(Qt::Key_Right);
    Press(Qt::Key_Right);
    EXPECT_EQ(Errors.size(), 3) << "a missing cue file is still reported on every cue";
}

TEST_F(MainWindow, KeysThatReachTheSceneSurfaceGoToTheGame) {
    ShowWindow();
    // Where a compositor hands the keyboard to the scene's own surface.
    QTest::keyClick(Frm->Surface, Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 1);
    QTest::keyClick(Frm->Surface, Qt::Key_Escape);
    EXPECT_FALSE(Frm->isVisible());
}

TEST_F(MainWindow, ALoneAltLeavesTheKeysWithTheGame) {
    ShowWindow();
    QTest::keyClick(Frm->windowHandle(), Qt::Key_Alt);
    for (int peg : {1, 2, 0}) {
        Press(Qt::Key_Right);
        EXPECT_EQ(Board.SelectedPeg, peg);
    }
    EXPECT_EQ(Frm->MainMenu1->activeAction(), nullptr);
    EXPECT_FALSE(Frm->N1->isVisible());
}

TEST_F(MainWindow, AKeysFrameRunsAsSoonAsTheHandlerReturnsAndABurstMakesOneFrame) {
    ShowWindow();
    QCoreApplication::processEvents(); // whatever the showing still asked for
    const int frames = Frm->FramesSwapped();
    for (int i = 0; i < 4; ++i) { // handled one after another, before any frame
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QCoreApplication::sendEvent(Frm, &right);
    }
    EXPECT_EQ(Frm->FramesSwapped(), frames);
    QCoreApplication::processEvents(); // no waiting for a timer
    EXPECT_EQ(Frm->FramesSwapped(), frames + 1);
    QCoreApplication::processEvents(); // a second frame would have been queued by now
    EXPECT_EQ(Frm->FramesSwapped(), frames + 1);
    EXPECT_EQ(Board.SelectedPeg, 1);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(MainWindow, F10OpensTheMenuAtItsFirstItemAndItsKeysThenGoBackToTheGame) {
    ShowWindow();
    const auto openByF10 = [&] {
        QTest::keyClick(Frm->windowHandle(), Qt::Key_F10);
        ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 2000));
        EXPECT_EQ(Frm->N1->activeAction(), Frm->N2);
    };
    ASSERT_NO_FATAL_FAILURE(openByF10());
    QTest::keyClick(Frm->N1->windowHandle(), Qt::Key_Down);
    EXPECT_NE(Frm->N1->activeAction(), Frm->N2);
    QTest::keyClick(Frm->N1->windowHandle(), Qt::Key_Up);
    EXPECT_EQ(Frm->N1->activeAction(), Frm->N2);
    QTest::keyClick(Frm->N1->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 2000));
    QTest::qWait(50);
    Press(Qt::Key_Right);
    EXPECT_EQ(Board.SelectedPeg, 1);

    // After a solved game, a new one without the mouse.
    Board.GameActive = 0;
    ASSERT_NO_FATAL_FAILURE(openByF10());
    QTest::keyClick(Frm->N1->windowHandle(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 2000));
    EXPECT_EQ(Board.GameActive, 1);
    EXPECT_EQ(Board.SelectedPeg, 0);
    QTest::qWait(50);
    Press(Qt::Key_Left);
    EXPECT_EQ(Board.SelectedPeg, 2);
    Press(Qt::Key_Space);
    EXPECT_EQ(Board.CarriedRing, NoRing) << "peg 2 is empty: nothing to lift";
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Frm->isVisible());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(MainWindow, ClockTicksEverySecondAndEnablingItAgainKeepsItsPhase) {
    ShowWindow();
    EXPECT_TRUE(Frm->TimerGame->isActive());
    EXPECT_EQ(Frm->TimerGame->interval(), 1000);
    EXPECT_EQ(Frm->TimerGame->timerType(), Qt::PreciseTimer);
    QTest::qWait(300);
    const int remaining = Frm->TimerGame->remainingTime();
    Frm->EnableGameTimer();
    EXPECT_LE(Frm->TimerGame->remainingTime(), remaining);

    const int frames = Frm->FramesSwapped();
    Frm->TimerGameTimer();
    EXPECT_EQ(TimeText(Board), "0 : 0 : 1");
    QCoreApplication::processEvents(); // where a frame it asked for would run
    EXPECT_EQ(Frm->FramesSwapped(), frames) << "a tick draws nothing";
}

} // namespace
