#include "support/ModalDriver.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

void When(std::function<bool()> ready, std::function<void()> act, int triesLeft) {
    QTimer::singleShot(10, [ready = std::move(ready), act = std::move(act), triesLeft]() mutable {
        if (ready())
            return act();
        if (triesLeft > 0)
            return When(std::move(ready), std::move(act), triesLeft - 1);
        ADD_FAILURE() << "the awaited window never came up";
        for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i)
            QApplication::activeModalWidget()->close();
    });
}
