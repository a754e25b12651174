#!/usr/bin/env bash
# The tests of the rules, the board's speech, the dialog kit, the launcher
# and the records code (the file format, the store shared with other games,
# its windows) built with AddressSanitizer and UndefinedBehaviorSanitizer,
# run under Xvfb: any report fails the test that made it. The main window's,
# start-up's, the sound's and the drawing's tests are left to the main pass
# (and the sound player's threads to tools/test-threads.sh): built a second
# time they would take ./test.sh past its ten minutes.
source "$(dirname "$0")/sanitizer-build.sh"
build_sanitized game_tests speech_tests dialogs_tests records_format_tests records_tests \
    records_windows_tests launcher_tests
cd "$SANITIZER_BUILD"
# Mesa unloads its GL driver when the display closes, and what the driver
# still held would then count as leaked, with no library left to name it by.
# Loaded from the start, it stays until the leak check is done.
# Mesa 22 (Debian 12) keeps it all in swrast_dri.so, Mesa 25 (Debian 13) in
# libgallium, wherever the package puts them for this architecture.
LD_PRELOAD=$({ dpkg -L libgl1-mesa-dri mesa-libgallium 2>/dev/null || true; } |
    grep -E '/dri/swrast_dri[.]so$|/libgallium-[^/]*[.]so$' | paste -sd:)
export LD_PRELOAD
# The install, launcher and screen reader tests need the programs, which this
# build leaves out, as it leaves out the test programs named above; the main
# pass runs them all. No test is run twice: a report that shows once fails
# the pass. One test at a time, as in the main pass: windows of two tests on
# one X server would take each other's activation.
unset WAYLAND_DISPLAY WAYLAND_SOCKET
QT_QPA_PLATFORM=xcb xvfb_run ctest --output-on-failure \
    -E '^(install|launcher|a11y)[.]|^(render|ui|sound|app)_tests_NOT_BUILT$'
