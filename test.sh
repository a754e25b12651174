#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite under Xvfb.
source "$(dirname "$0")/tools/common.sh"
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${INSTALL_TEST_PACKAGES[@]}"
build_tarvin
prepare_play_folder
cd "$BUILD"
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure
"$ROOT/tools/test-package.sh"
