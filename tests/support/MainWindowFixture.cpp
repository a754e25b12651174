#include "support/MainWindowFixture.h"

#include "dialogs/ErrorBox.h"
#include "support/QtTestMain.h"

#include <QKeySequence>
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
