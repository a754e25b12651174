#pragma once

// True when a QApplication on a real display exists for this test run.
bool HaveDisplay();

// Skips the test when run by hand without a display; under the test suite
// (TARVIN_REQUIRE_DISPLAY set) the program refuses to start without one.
#define TARVIN_NEEDS_DISPLAY()                                                                     \
    do {                                                                                           \
        if (!HaveDisplay())                                                                        \
            GTEST_SKIP() << "no display";                                                          \
    } while (0)
