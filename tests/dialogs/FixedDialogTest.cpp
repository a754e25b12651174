#include "dialogs/FixedDialog.h"
#include "dialogs/ErrorBox.h"
#include "support/ModalDriver.h"
#include "support/QtTestMain.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(FixedDialog, FirstShownCentredOverTheMainWindowThenWhereItWasLeft) {
    TARVIN_NEEDS_DISPLAY();
    QWidget main;
    main.setGeometry(100, 100, 300, 300);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    TFixedDialog dialog(&main, "Test", 120, 80);

    QPoint first;
    When([&] { return dialog.isVisible(); },
         [&] {
             first = dialog.geometry().center();
             dialog.move(dialog.pos() + QPoint(200, 150));
             dialog.close();
         });
    dialog.ShowModal();
    // Qt leaves room for a title bar it cannot see without a window manager.
    const QPoint offCentre = main.geometry().center() - first;
    EXPECT_TRUE(offCentre.x() >= 0 && offCentre.x() <= 10) << offCentre.x();
    EXPECT_TRUE(offCentre.y() >= 0 && offCentre.y() <= 40) << offCentre.y();

    QPoint second;
    When([&] { return dialog.isVisible(); },
         [&] {
             second = dialog.geometry().center();
             dialog.close();
         });
    dialog.ShowModal();
    EXPECT_EQ(second, first + QPoint(200, 150));
    EXPECT_EQ(dialog.size(), QSize(120, 80));
}

TEST(FixedDialog, HandlerThatAsksToCloseClosesOnlyWhenItEndsEvenIfItFails) {
    TARVIN_NEEDS_DISPLAY();
    QWidget main;
    TFixedDialog dialog(&main, "Test", 120, 80);
    bool visibleInside = false;
    When([&] { return dialog.isVisible(); },
         [&] {
             dialog.RunHandler([&] {
                 dialog.Close();
                 visibleInside = dialog.isVisible();
                 throw std::runtime_error("Disk full");
             });
         });
    QStringList errors;
    SetErrorSink([&](const QString& text) { errors << text; });
    dialog.ShowModal();
    SetErrorSink({});
    EXPECT_TRUE(visibleInside);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(errors, QStringList{"Disk full."});
}

} // namespace
