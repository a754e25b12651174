#include "dialogs/ErrorBox.h"
#include "support/QtTestMain.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(ErrorBox, AddsAFullStopOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(ErrorBoxText("File not found"), "File not found.");
    EXPECT_EQ(ErrorBoxText("I/O error 5"), "I/O error 5.");
    EXPECT_EQ(ErrorBoxText("x"), "x.");
    EXPECT_EQ(ErrorBoxText("x."), "x.");
    EXPECT_EQ(ErrorBoxText("x!"), "x!");
    EXPECT_EQ(ErrorBoxText("x)"), "x)");
    EXPECT_EQ(ErrorBoxText("x "), "x ");
    EXPECT_EQ(ErrorBoxText("x-"), "x-"); // '-' comes before '.'
    EXPECT_EQ(ErrorBoxText("x/"), "x/.");
    EXPECT_EQ(ErrorBoxText("Ошибка"), "Ошибка.");
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(ErrorBox, GuardCatchesAndReportsWhateverTheHandlerThrows) {
    QStringList shown;
    const TErrorSink previous = SetErrorSink([&](const QString& text) { shown << text; });
    bool after = false;
    Guarded([&] {
        throw std::runtime_error("Disk full");
        after = true;
    });
    Guarded([] { throw 42; });
    Guarded([] {});
    SetErrorSink(previous);
    EXPECT_FALSE(after);
    EXPECT_EQ(shown, (QStringList{"Disk full.", "Unknown error."}));
}

TEST(ErrorBox, IsACriticalBoxWithTheGameCaptionAndOneOkButton) {
    TARVIN_NEEDS_DISPLAY();
    QString title, text;
    bool critical = false;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        critical = box->icon() == QMessageBox::Critical;
        buttons = static_cast<int>(box->buttons().size());
        box->accept();
    });
    ShowErrorBox("Unknown error code");
    EXPECT_EQ(title, "Логическая игра \"Тарвин\"");
    EXPECT_EQ(text, "Unknown error code.");
    EXPECT_TRUE(critical);
    EXPECT_EQ(buttons, 1);
}

} // namespace
