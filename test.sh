#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite: the X11 suite on
# its own Xvfb, the Wayland pass, the desktops pass, the sanitizer suite,
# the records fuzzer and the package check. Every pass runs; the script fails when any of them did.
source "$(dirname "$0")/tools/common.sh"
ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${INSTALL_TEST_PACKAGES[@]}"
build_tarvin
prepare_play_folder

# On its own X server whatever session it starts from: never the desktop's
# Wayland compositor.
x11_suite() {
    cd "$BUILD" && unset WAYLAND_DISPLAY WAYLAND_SOCKET &&
        QT_QPA_PLATFORM=xcb xvfb_run ctest --output-on-failure
}

passed=0
failed=()
passes=(x11_suite tools/test-wayland.sh tools/test-desktops.sh tools/test-sanitizers.sh
        tools/test-fuzz.sh tools/test-package.sh)
# In the other releases' chroots (tools/test-release.sh) the sanitizer suite
# and the fuzzer are left to this machine's own run: they check the game's
# own code, which is the same there, and .ci/run must end within 30 minutes.
if [ "${TARVIN_OTHER_RELEASE:-0}" = 1 ]; then
    echo "The sanitizer suite and the fuzzer run on the machine's own release only."
    passes=(x11_suite tools/test-wayland.sh tools/test-desktops.sh tools/test-package.sh)
fi
for pass in "${passes[@]}"; do
    echo "=== $pass"
    started=$(date +%s)
    if [ "$pass" = x11_suite ]; then (x11_suite); else "$ROOT/$pass"; fi && passed=$((passed + 1)) ||
        failed+=("$pass")
    echo "=== $pass: $(($(date +%s) - started)) s"
done
[ ${#failed[@]} -eq 0 ] || echo "Failed: ${failed[*]}" >&2
echo "passes: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
