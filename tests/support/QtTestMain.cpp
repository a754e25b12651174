// The main of every test program: a QApplication when a display is there.

#include "support/QtTestMain.h"
#include "dialogs/GameFont.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {
bool DisplayReady = false;
}

bool HaveDisplay() {
    return DisplayReady;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

    // The silent audio driver and a private runtime directory, unless the
    // developer running the tests chose otherwise.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("XDG_RUNTIME_DIR", TARVIN_TEST_RUNTIME_DIR, 0);
    // No session bus of their own through dbus-launch, as the game starts none.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 0);

    const bool required = std::getenv("TARVIN_REQUIRE_DISPLAY") != nullptr;
    const char* display = std::getenv("DISPLAY");
    std::unique_ptr<QApplication> app;
    if (display && *display) {
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setFont(GameFont()); // dialogs are measured as the game shows them
        DisplayReady = true;
    } else if (required) {
        std::fprintf(stderr, "These tests need a display (run them through ./test.sh).\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
