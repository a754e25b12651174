// The game on a real Wayland compositor: weston nested in an X server, input
// sent through that X server, so every click and key travels the
// compositor's own focus path. Started by tools/test-wayland.sh.

#include "dialogs/ErrorBox.h"
#include "support/HostDesktop.h"
#include "support/MainWindowFixture.h"
#include "support/ModalDriver.h"
#include "ui/FrmAboutTarvin.h"
#include "ui/GLSurface.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>

#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
#include <qpa/qplatformnativeinterface.h>
#endif
#include <wayland-client-core.h>

namespace {

wl_display* Display() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return qGuiApp->nativeInterface<QNativeInterface::QWaylandApplication>()->display();
#else
    return static_cast<wl_display*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
#endif
}

// Waits until the compositor has answered every request sent so far and the
// game has taken in the answers: a change of state, the game's reply to it
// and the compositor's reply to that.
void CompositorAnswered() {
    for (int round = 0; round < 3; ++round) {
        wl_display_roundtrip(Display());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
}

// Asks what the maximize button of the title bar Qt draws asks, and what a
// compositor's shortcut would ask; the compositor may carry it out.
void ExpectKeepsSize(QWidget* window, const char* name) {
    constexpr Qt::WindowStates enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;
    const QSize size = window->size();
    for (const Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowFullScreen}) {
        window->windowHandle()->setWindowStates(state);
        CompositorAnswered();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return window->size() == size && !(window->windowState() & enlarged) &&
                       !(window->windowHandle()->windowStates() & enlarged);
            },
            3000))
            << name << " asked for state " << state << ": " << window->size().width() << " x "
            << window->size().height();
    }
}

class NativeWayland : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        ASSERT_EQ(QGuiApplication::platformName(), "wayland");
    }

    // Shows the window and finds its scene on the screen.
    void ShowAndFind() {
        Frm->show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->FramesSwapped() > 0; }, 5000))
            << "no frame was drawn at start-up";
        ASSERT_TRUE(QTest::qWaitFor([&] { return Windows->FrmName.has_value(); }, 5000))
            << "the dialogs were not made after the first frame";
        const auto scene = SceneOnHostScreen();
        ASSERT_TRUE(scene) << "the scene is not on the screen";
        SceneOnScreen = scene->topLeft();
    }

    // A point of the main window on the screen.
    QPoint OnScreen(QWidget* widget, QPoint point) const {
        return SceneOnScreen + widget->mapTo(Frm, point) - Frm->Scene->mapTo(Frm, QPoint(0, 0));
    }

    // The pointer first moves next to the spot: weston gives a window that
    // appeared under a pointer at rest no pointer focus until it moves.
    void Click(QPoint at) {
        HostInput({"mousemove", QString::number(at.x() + 1), QString::number(at.y()), "mousemove",
                   QString::number(at.x()), QString::number(at.y()), "click", "1"});
    }

    // A key through the compositor; true when the selection then moved to peg.
    bool KeyMoves(const char* key, int peg) {
        HostInput({"key", key});
        return QTest::qWaitFor([&] { return Board.SelectedPeg == peg; }, 5000);
    }

    QPoint MenuOnScreen() const {
        return OnScreen(Frm->MainMenu1,
                        Frm->MainMenu1->actionGeometry(Frm->N1->menuAction()).center());
    }

    QPoint SceneOnScreen;
};

TEST_F(NativeWayland, SceneIsDrawnAtStartUpWithoutActivation) {
    ASSERT_TRUE(Frm->SceneReady()) << Errors.join("; ").toStdString();
    Frm->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Frm->FramesSwapped() > 0; }, 5000));
}

TEST_F(NativeWayland, KeysStayWithTheGameAfterAClickInTheScene) {
    ShowAndFind();
    Click(SceneOnScreen + QPoint(150, 140));
    EXPECT_TRUE(KeyMoves("Right", 1));
    Click(SceneOnScreen + QPoint(20, 260));
    EXPECT_TRUE(KeyMoves("Right", 2));
    EXPECT_TRUE(Frm->isActiveWindow());
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(NativeWayland, NeitherTitleBarNorCompositorEnlargesTheWindow) {
    ShowAndFind();
    const QSize size = Frm->size();
    ExpectKeepsSize(Frm, "main window");
    // A double click on the title bar, and the bottom right corner dragged;
    // the frame is where Qt says it is, whatever its decoration looks like.
    const QMargins frame = Frm->windowHandle()->frameMargins();
    const QPoint title = OnScreen(Frm, QPoint(size.width() / 2, -frame.top() / 2));
    HostInput({"mousemove", QString::number(title.x()), QString::number(title.y()), "click",
               "--repeat", "2", "1"});
    const QPoint corner =
        OnScreen(Frm, QPoint(size.width() + frame.right() - 1, size.height() + frame.bottom() - 1));
    HostInput({"mousemove", QString::number(corner.x()), QString::number(corner.y()), "mousedown",
               "1", "mousemove_relative", "--", "80", "60", "mouseup", "1"});
    CompositorAnswered();
    EXPECT_EQ(Frm->size(), size);
    EXPECT_EQ(Frm->Surface->size(), QSize(TFrmGL::SceneWidth, TFrmGL::SceneHeight));
}

TEST_F(NativeWayland, EveryDialogKeepsItsSizeWhenAskedToEnlarge) {
    ShowAndFind();
    const auto errorBox = [] {
        const TErrorSink collect = SetErrorSink({});
        ShowErrorBox(QStringLiteral("Проверка"));
        SetErrorSink(collect);
    };
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"about box", [&] { Frm->N5->trigger(); }},
        {"name entry", [&] { Windows->FrmName->ShowModal(); }},
        {"records table", [&] { Windows->FrmTable->ShowModal(); }},
        {"error box", errorBox},
    };
    for (const auto& [name, open] : dialogs) {
        QWidget* dialog = nullptr;
        When(
            [&] {
                dialog = QApplication::activeModalWidget();
                return dialog && dialog->windowHandle()->isExposed();
            },
            [&] {
                ExpectKeepsSize(dialog, name);
                dialog->close();
            });
        open(); // modal: returns when the dialog has closed
        EXPECT_TRUE(dialog) << name;
    }
}

TEST_F(NativeWayland, KeysStayWithTheGameAfterTheMenuWasOpenedAndClosed) {
    ShowAndFind();
    Click(MenuOnScreen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 5000));
    HostInput({"key", "Escape"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 5000));
    EXPECT_TRUE(KeyMoves("Right", 1));

    Click(MenuOnScreen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 5000));
    // A click that comes before the compositor has mapped the popup and
    // given it the pointer is lost; closing the menu is not what is tested.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Frm->N1));
    QTest::qWait(300);
    Click(MenuOnScreen());
    if (!QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 5000))
        Click(MenuOnScreen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 5000));
    EXPECT_TRUE(KeyMoves("Right", 2));
    EXPECT_TRUE(Frm->isVisible()) << "an Escape reached the game";
}

TEST_F(NativeWayland, KeysStayWithTheGameAfterADialogClosed) {
    ShowAndFind();
    Click(SceneOnScreen + QPoint(150, 140));
    TFrmAboutTarvin* box = &*Windows->FrmAbout;
    QWindow* parent = nullptr;
    // Closed with its one button once the compositor gave it the keyboard.
    When([&] { return box->isActiveWindow(); },
         [&] {
             parent = box->windowHandle()->transientParent();
             HostInput({"key", "Return"});
         });
    Frm->N5->trigger(); // "Об игре", modal: returns when the box has closed
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(parent, Frm->windowHandle()) << "the box is not transient for the main window";
    // The compositor hands the keyboard back once its closing animation ended.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Frm->isActiveWindow(); }, 3000));
    EXPECT_TRUE(KeyMoves("Right", 1));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

TEST_F(NativeWayland, F10OpensTheMenuAndItsKeysThenGoBackToTheGame) {
    ShowAndFind();
    // Held as a hand holds it: a compositor grants the menu's grab only for
    // the latest key event, so a release sent at once would refuse it. Sent
    // by its key code (the X server's evdev map): given the key's name,
    // xdotool holds Alt with it where the function keys have Alt levels
    // (xkb-data 2.48), and Alt+F10 is not F10.
    const auto openByF10 = [&] {
        HostInput({"keydown", "76"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 5000));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Frm->N1));
        HostInput({"keyup", "76"});
        EXPECT_EQ(Frm->N1->activeAction(), Frm->N2);
    };
    ASSERT_NO_FATAL_FAILURE(openByF10());
    HostInput({"key", "Escape"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 5000));
    EXPECT_TRUE(KeyMoves("Right", 1));

    ASSERT_NO_FATAL_FAILURE(openByF10());
    HostInput({"key", "Return"}); // New game
    EXPECT_TRUE(QTest::qWaitFor([&] { return Board.SelectedPeg == 0; }, 5000));
    EXPECT_TRUE(KeyMoves("Left", 2));
    EXPECT_TRUE(Frm->isVisible());
}

} // namespace
