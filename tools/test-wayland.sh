#!/usr/bin/env bash
# The game on native Wayland: weston nested in a private Xvfb (input goes in
# through that X server, so it travels the compositor's own focus path), and
# weston's headless backend, where the window is never activated.
# Usage: tools/test-wayland.sh (after a build)
source "$(dirname "$0")/common.sh"
ensure_packages "${WAYLAND_PACKAGES[@]}" "${A11Y_TEST_PACKAGES[@]}"
build_tarvin wayland_tests tarvin

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    # Qt 6.8 asks the desktop portal for its settings, and the portal's
    # document store mounts itself in the runtime folder.
    fusermount3 -uz "$work/runtime/doc" 2>/dev/null || umount -l "$work/runtime/doc" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY

# Waits until a file shows up, or gives up after 10 s.
wait_for() {
    for _ in $(seq 100); do [ -e "$1" ] && return 0; sleep 0.1; done
    echo "test-wayland: $2 did not start" >&2
    return 1
}

# The private X server picks a free display itself and names it once it
# listens: a free-looking lock file does not mean a free display when an X
# server in another mount namespace (a chroot's test run) holds the socket.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
if ! read -r -t 10 display <"$work/display" || [ -z "$display" ]; then
    echo "test-wayland: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"

# No screen lock or blanking while the tests run.
weston_common=(--use-pixman --idle-time=0)
weston --backend=x11-backend.so --width=1024 --height=768 --socket=tarvin-nested \
    "${weston_common[@]}" >"$work/weston-nested.log" 2>&1 &
pids+=($!)
weston --backend=headless-backend.so --socket=tarvin-headless \
    "${weston_common[@]}" >"$work/weston-headless.log" 2>&1 &
pids+=($!)
wait_for "$XDG_RUNTIME_DIR/tarvin-nested" weston
wait_for "$XDG_RUNTIME_DIR/tarvin-headless" weston
sleep 1 # the desktop shell draws its panel and background
# weston's X11 backend passes on only how far the X pointer moved, and at
# start-up its own pointer may sit in a corner while X's sits in the middle:
# every click would land off by that much. Opposite corners, where both stop,
# bring the two together.
xdotool mousemove 0 0 mousemove 1023 767

run() {
    WAYLAND_DISPLAY="$1" QT_QPA_PLATFORM=wayland SDL_AUDIODRIVER=dummy \
        WAYLAND_DEBUG=${TARVIN_WL_DEBUG:-} timeout 60 "$BUILD/tests/wayland_tests" "${@:2}"
}
status=0
run tarvin-headless --gtest_filter='*DrawnAtStartUp*' || status=1
run tarvin-nested "$@" || status=1

# Without a GL context the game reports it in its error box and ends (the
# box is closed with Return), rather than showing a grey window for ever.
(cd "$work" && WAYLAND_DISPLAY=tarvin-nested QT_QPA_PLATFORM=wayland SDL_AUDIODRIVER=dummy \
    QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none timeout 20 "$BUILD/tarvin" 2>/dev/null) &
game=$!
for _ in $(seq 15); do
    sleep 1
    kill -0 "$game" 2>/dev/null || break
    xdotool key Return
done
if wait "$game"; then code=0; else code=$?; fi
if [ "$code" -ne 1 ]; then
    echo "test-wayland: without a GL context the game ended with $code instead of 1" >&2
    status=1
fi

# What a screen reader hears: accessibility goes over D-Bus, whatever the
# display.
WAYLAND_DISPLAY=tarvin-nested QT_QPA_PLATFORM=wayland timeout 300 dbus-run-session -- \
    /usr/bin/python3 "$ROOT/tests/ui/ScreenReaderTest.py" "$BUILD/tarvin" "$ROOT/assets/sounds" ||
    status=1

if [ "$status" -ne 0 ]; then
    echo "test-wayland: failed; compositor logs follow" >&2
    tail -n 20 "$work"/weston-*.log >&2
fi
exit "$status"
