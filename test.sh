#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite under Xvfb.
source "$(dirname "$0")/tools/common.sh"
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${INSTALL_TEST_PACKAGES[@]}"
build_tarvin
prepare_play_folder
cd "$BUILD"
# On its own X server whatever session it starts from: never the desktop's
# Wayland compositor.
env -u WAYLAND_DISPLAY -u WAYLAND_SOCKET QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure
"$ROOT/tools/test-wayland.sh"
"$ROOT/tools/test-sanitizers.sh"
"$ROOT/tools/test-fuzz.sh"
"$ROOT/tools/test-package.sh"
