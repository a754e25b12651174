#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer,
# run under Xvfb: any report fails the test that made it.
source "$(dirname "$0")/sanitizer-build.sh"
build_sanitized game_tests render_tests dialogs_tests records_tests ui_tests
cd "$SANITIZER_BUILD"
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j2
