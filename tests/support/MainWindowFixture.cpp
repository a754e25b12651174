#include "support/MainWindowFixture.h"

#include "dialogs/ErrorBox.h"
#include "render/Frame.h"
#include "render/Quadric.h"
#include "support/GLTestFramebuffer.h"
#include "support/HostDesktop.h"
#include "support/QtTestMain.h"
#include "ui/GLSurface.h"

#include <QKeySequence>
#include <QOpenGLContext>
#include <QTest>

void MainWindowFixture::SetUp() {
    if (!HaveDisplay())
        GTEST_SKIP() << "no display";
    Dir = std::make_unique<TTempWorkDir>();
    for (int cue = 1; cue <= 5; ++cue)
        WriteTestWav(Dir->Path(QStringLiteral("Dizo%1.wav").arg(cue)));
    SetErrorSink([this](const QString& text) { Errors << text; });
    Windows = std::make_unique<TTarvinWindows>(Board);
    Frm = &Windows->FrmGL;
}

void MainWindowFixture::TearDown() {
    Windows.reset();
    SetErrorSink({});
    Dir.reset();
}

void MainWindowFixture::ShowWindow() {
    Frm->show();
    Frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frm));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Frm->FramesSwapped() > 0; }, 5000));
    // The dialogs and the records follow the first picture.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Windows->FrmName.has_value(); }, 5000));
}

bool MainWindowFixture::WaitForFrameAfter(int frames) {
    return QTest::qWaitFor([&] { return Frm->FramesSwapped() > frames; }, 5000);
}

void MainWindowFixture::Press(int key) {
    const int before = Frm->FramesSwapped();
    const bool accepted = Board.GameActive == 1 &&
                          (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Space);
    // Through the window system, so the key goes wherever the focus is.
    QTest::keyClick(Frm->windowHandle(), static_cast<Qt::Key>(key));
    if (accepted) {
        ASSERT_TRUE(WaitForFrameAfter(before))
            << "no frame after " << QKeySequence(key).toString().toStdString();
    }
}

namespace {

// A frame that only draws: no cue, no dialog.
class TDrawOnly : public TFrameHost {
    void PlayCue(int) override {}
    void DisableGameTimer() override {}
    void BeginNameEntry() override {}
    void ReportError(const std::string&) override {}
    void SwapBuffers() override {}
};

} // namespace

std::optional<QRect> MainWindowFixture::SceneOnHostScreen() {
    HostInput({"mousemove", "0", "767"});
    // The scene as the game draws it now, drawn again offscreen, once the
    // window system lets its context be made current (not while a
    // compositor's configure has the surface made anew).
    if (!QTest::qWaitFor(
            [&] {
                Frm->Surface->MakeCurrent();
                return QOpenGLContext::currentContext() == Frm->Surface->Context();
            },
            5000)) {
        ADD_FAILURE() << "the scene's GL context cannot be made current";
        return std::nullopt;
    }
    TBoardState board = Board;
    TSceneMatrices matrices = Frm->Matrices;
    TQuadric quadric;
    TDrawOnly host;
    QImage picture;
    {
        TGLTestFramebuffer buffer(TFrmGL::SceneWidth, TFrmGL::SceneHeight);
        DrawFrame(board, matrices, quadric.Get(), host);
        picture = buffer.Image();
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (const auto at = FindPicture(SettledHostScreen(), picture))
            return QRect(*at, picture.size());
        QTest::qWait(200);
    }
    return std::nullopt;
}
