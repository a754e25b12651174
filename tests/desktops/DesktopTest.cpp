// The game on a desktop players use: run by tools/test-desktops.sh once for
// each desktop of its table (a compositor nested in a private X server, or a
// window manager on it). Everything goes through that X server: keys as a
// player types them, the screen as a player sees it.

#include "support/HostDesktop.h"
#include "support/MainWindowFixture.h"
#include "support/ModalDriver.h"
#include "ui/GLSurface.h"

#include <QApplication>
#include <QMenu>
#include <QTest>

#include <functional>
#include <optional>

namespace {

class Desktop : public MainWindowFixture {
protected:
    // A key through the X server; true once done holds.
    bool Key(const char* key, const std::function<bool()>& done) {
        HostInput({"key", key});
        return QTest::qWaitFor(done, 5000);
    }

    bool OnPeg(int peg) const { return Board.SelectedPeg == peg; }

    // Keys wait, as a player's do, until the compositor has handed the
    // keyboard back to the main window after a menu or a dialog closed;
    // kwin hands it back without saying so.
    void KeyboardBack() {
        (void)QTest::qWaitFor([&] { return qGuiApp->focusWindow() == Frm->windowHandle(); }, 2000);
    }

    // F10, then Down the given number of times and Return.
    void FromMenu(int downs) {
        KeyboardBack();
        // Held as a hand holds it: a compositor grants the menu's grab only
        // for the latest key event. By its key code: by name xdotool may add
        // Alt (see NativeWaylandTest.cpp).
        HostInput({"keydown", "76"});
        ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->N1->isVisible(); }, 5000)) << "no menu";
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Frm->N1));
        HostInput({"keyup", "76"});
        for (int i = 0; i < downs; ++i)
            HostInput({"key", "Down"});
        HostInput({"key", "Return"});
    }

    // Once the dialog is up: it has the keyboard and stands over the main
    // window, its centre over the scene. Return then closes it, or goes on
    // to the next one.
    void WhenUp(QWidget* dialog, const char* name, std::function<void()> next = {}) {
        When(
            [dialog] {
                return QApplication::activeModalWidget() == dialog && dialog->isActiveWindow();
            },
            [=, this] {
                // Drawn anew each time: the focus frame follows the keyboard.
                QImage picture;
                std::optional<QPoint> at;
                for (int attempt = 0; attempt < 20 && !at; ++attempt) {
                    const QImage screen = SettledHostScreen();
                    picture = dialog->grab().toImage();
                    if (!(at = FindPicture(screen, picture)))
                        QTest::qWait(100);
                }
                EXPECT_TRUE(at) << name << " is not on the screen";
                if (at) {
                    const QPoint off = QRect(*at, picture.size()).center() - Scene.center();
                    EXPECT_TRUE(std::abs(off.x()) < Scene.width() / 2 &&
                                std::abs(off.y()) < Scene.height() / 2)
                        << name << " opened " << off.x() << ", " << off.y()
                        << " from the centre of the scene";
                }
                if (next)
                    next();
                HostInput({"key", "Return"});
            },
            1000);
    }

    QRect Scene;
};

TEST_F(Desktop, TheWindowPlaysByKeyboardAndEveryDialogOpensOverItWithTheKeyboard) {
    Frm->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->FramesSwapped() > 0; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Windows->FrmName.has_value(); }, 5000));
    const auto scene = SceneOnHostScreen();
    ASSERT_TRUE(scene) << "the scene is not on the screen whole";
    Scene = *scene;
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->isActiveWindow(); }, 5000))
        << "the window never got the keyboard";

    EXPECT_TRUE(Key("Right", [&] { return OnPeg(1); }));
    EXPECT_TRUE(Key("Left", [&] { return OnPeg(0); }));
    EXPECT_TRUE(Key("space", [&] { return Board.Pegs[0].Count == 4; })) << "no ring lifted";
    EXPECT_TRUE(Key("space", [&] { return Board.Pegs[0].Count == 5; })) << "not put back";

    ASSERT_NO_FATAL_FAILURE(FromMenu(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Frm->N1->isVisible(); }, 5000));
    KeyboardBack();
    EXPECT_TRUE(Key("Right", [&] { return OnPeg(1); })) << "keys did not come back from the menu";

    // «Об игре»: the records item is still off, so one Down reaches it.
    WhenUp(&*Windows->FrmAbout, "about box");
    ASSERT_NO_FATAL_FAILURE(FromMenu(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->isActiveWindow(); }, 5000));

    // What the frame that solves the puzzle opens: the name entry, and
    // after it the records window.
    WhenUp(&*Windows->FrmName, "name entry",
           [&] { WhenUp(&*Windows->FrmTable, "records window"); });
    Windows->FrmName->BeginNameEntry(TimeText(Board)); // modal: returns when both closed

    // The records window again, from the menu.
    WhenUp(&*Windows->FrmTable, "records window from the menu");
    ASSERT_NO_FATAL_FAILURE(FromMenu(1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->isActiveWindow(); }, 5000));

    KeyboardBack();
    EXPECT_TRUE(Key("Escape", [&] { return !Frm->isVisible(); })) << "Escape did not close";
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();
}

} // namespace
