#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer,
# run under Xvfb: any report fails the test that made it.
source "$(dirname "$0")/sanitizer-build.sh"
build_sanitized game_tests render_tests dialogs_tests records_format_tests records_tests launcher_tests ui_tests
cd "$SANITIZER_BUILD"
# Mesa unloads its GL driver when the display closes, and what the driver
# still held would then count as leaked, with no library left to name it by.
# Loaded from the start, it stays until the leak check is done.
driver=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so
[ -e "$driver" ] && export LD_PRELOAD="$driver"
# The install and launcher tests need the programs, which this build leaves
# out; the main pass runs them.
# A test that fails only by timing (the sanitizers slow everything down) gets
# a second run; a sanitizer report comes back on it.
env -u WAYLAND_DISPLAY -u WAYLAND_SOCKET QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j2 --repeat until-pass:2 \
    -E '^(install|launcher)[.]'
