#!/usr/bin/env bash
# The game on the desktops players use, each for real: a Wayland compositor
# nested in a private Xvfb, or a window manager on one. Input and screenshots
# go through that X server. On each desktop:
#   - tests/desktops/DesktopTest.cpp: the scene on the screen whole; Left,
#     Right and Space play; F10 opens the menu; the about box, the name
#     entry and the records window open over the main window and take the
#     keyboard; Escape closes;
#   - the game itself and the bare Qt window of bench/StartupFloor.cpp, each
#     left alone: their wake-ups (context switches of every thread) and CPU
#     time (SDL's audio thread left out), side by side; the game may cost
#     only a little more;
#   - then Escape: the game ends with status 0 within 2 s.
# Usage: tools/test-desktops.sh [desktop...]   (after a build; all by default)
#   TARVIN_IDLE_SECONDS  how long each idle window is measured (3)
#   TARVIN_DESKTOP_LANES how many desktops run side by side (2)
source "$(dirname "$0")/common.sh"
me=test-desktops

# name: what it is, as the README's table names it.
declare -A ABOUT=(
    [gnome]="GNOME Shell (mutter) on Wayland"
    [kwin]="KDE Plasma's kwin on Wayland"
    [sway]="sway"
    [cage]="cage (kiosk)"
    [weston-kiosk]="weston's kiosk shell"
    [phoc]="phoc (phone shell)"
    [gnome-x11]="X11 under GNOME Shell (mutter)"
    [kwin-x11]="X11 under kwin_x11"
    [openbox]="X11 under openbox"
)
# Side by side in this order: the two heavy compositors, gnome-shell and
# kwin, never start together.
ORDER=(gnome sway kwin cage weston-kiosk phoc gnome-x11 kwin-x11 openbox)
# Only the idle cost and Escape there: weston's kiosk shell gives no window
# the keyboard back once a dialog has closed (weston 10).
IDLE_ONLY=(weston-kiosk)

# Why desktop $1 cannot run here, if it cannot: GNOME Shell 49 and later
# (Debian testing) run neither nested in another display nor on X11.
unavailable() {
    case $1 in
    gnome) gnome-shell --help 2>&1 | grep -q -- '--nested' ||
        echo "GNOME Shell $(gnome-shell --version | grep -o '[0-9.]*$') has no nested mode" ;;
    gnome-x11) gnome-shell --help 2>&1 | grep -q -- '--x11 ' ||
        echo "GNOME Shell $(gnome-shell --version | grep -o '[0-9.]*$') runs on no X server" ;;
    esac
}

# Starts desktop $1 on $DISPLAY; sets PLATFORM and, on Wayland,
# WAYLAND_DISPLAY. wlroots compositors (sway, cage, phoc) refuse to run as
# root: they run in a user namespace of their own, as an unmapped user, or,
# in a chroot, where the kernel makes no user namespace, as nobody, with a
# runtime folder of their own whose socket the game finds by its path.
# kwin_wayland's file capability cannot be raised here: a copy without it
# runs.
start_desktop() {
    local as_user=(unshare --user) sockets=$XDG_RUNTIME_DIR
    if [ "${TARVIN_DESKTOP_AS_NOBODY:-0}" = 1 ] || ! unshare --user true 2>/dev/null; then
        sockets=$work/wlroots-runtime
        chmod o+x "$work" "$(dirname "$work")" # the way to its configuration and sockets
        install -d -m 700 -o nobody -g nogroup "$sockets"
        as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$sockets"
            XDG_RUNTIME_DIR="$sockets")
    fi
    local wlr=("${as_user[@]}" env WLR_BACKENDS=x11 WLR_RENDERER=pixman WLR_X11_OUTPUTS=1
        WLR_XWAYLAND=)
    PLATFORM=wayland
    WAYLAND_DISPLAY=tarvin-$1
    case $1 in
    gnome)
        MUTTER_DEBUG_DUMMY_MODE_SPECS=1024x768 gnome-shell --nested --wayland --no-x11 \
            --wayland-display="$WAYLAND_DISPLAY" &
        ;;
    kwin)
        cp /usr/bin/kwin_wayland "$work/kwin_wayland"
        "$work/kwin_wayland" --x11-display "$DISPLAY" --socket "$WAYLAND_DISPLAY" --width 1024 \
            --height 768 --no-lockscreen --no-global-shortcuts &
        ;;
    sway)
        printf 'xwayland disable\noutput * bg #204060 solid_color\n' >"$work/sway.conf"
        WAYLAND_DISPLAY= "${wlr[@]}" sway -c "$work/sway.conf" &
        ;;
    cage) "${wlr[@]}" cage -- sleep infinity & ;;
    phoc)
        printf '[core]\nxwayland=false\n' >"$work/phoc.ini"
        "${wlr[@]}" phoc -C "$work/phoc.ini" -E 'sleep infinity' &
        ;;
    weston-kiosk)
        weston --backend=x11-backend.so --shell=kiosk-shell.so --width=1024 --height=768 \
            --use-pixman --idle-time=0 --socket="$WAYLAND_DISPLAY" &
        ;;
    gnome-x11) PLATFORM=xcb; gnome-shell --x11 --replace & ;;
    kwin-x11) PLATFORM=xcb; kwin_x11 --replace & ;;
    openbox) PLATFORM=xcb; openbox & ;;
    *) echo "$me: no desktop '$1' (${ORDER[*]})" >&2; return 1 ;;
    esac
    pids+=($!)
    if [ $PLATFORM = wayland ]; then
        # wlroots names its socket itself: the first free wayland-N.
        for _ in $(seq 100); do
            local socket
            socket=$(cd "$XDG_RUNTIME_DIR" && ls -1 tarvin-"$1" 2>/dev/null ||
                ls -1d "$sockets"/wayland-? 2>/dev/null | head -1)
            [ -n "$socket" ] && WAYLAND_DISPLAY=$socket && break
            sleep 0.1
        done
        [ -n "$socket" ] || { echo "$me: $1 did not start" >&2; return 1; }
    else
        unset WAYLAND_DISPLAY
        # The window manager has taken the screen once it names itself.
        for _ in $(seq 100); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
            sleep 0.1
        done
    fi
    sleep 2 # panels, backgrounds, start-up animations
    # GNOME Shell starts in its overview; Escape leaves it, once its opening
    # animation has ended (GNOME 48 on X11 takes its time).
    case $1 in gnome | gnome-x11)
        for _ in $(seq 10); do
            xdotool key Escape && sleep 1
            gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
                --method org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive \
                2>/dev/null | grep -q true || break
        done ;;
    esac
    export WAYLAND_DISPLAY PLATFORM
}

# Prints "wake-ups cpu-ticks" of process $1 over the next $2 seconds.
cost() {
    local before after
    before=$(usage "$1")
    sleep "$2"
    after=$(usage "$1")
    echo "$before $after" | awk '{ print $3 - $1, $4 - $2 }'
}
usage() {
    local switches task
    switches=$(for task in /proc/"$1"/task/*; do
        # SDL's audio thread runs until 5 s after the last cue; its cost is
        # tools/measure-idle.sh's.
        [[ "$(cat "$task/comm" 2>/dev/null)" == SDLAudio* ]] || cat "$task/status" 2>/dev/null
    done | awk '/^(non)?voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }')
    echo "$switches $(awk '{ print $14 + $15 }' /proc/"$1"/stat)"
}

# One desktop, on an X server and a D-Bus session of its own.
inside() {
    local name=$1 status=0
    start_desktop "$name" >"$work/desktop.log" 2>&1 || { cat "$work/desktop.log" >&2; return 1; }
    echo "--- $name: ${ABOUT[$name]}"
    local run=(env QT_QPA_PLATFORM="$PLATFORM" SDL_AUDIODRIVER=dummy)
    if [[ " ${IDLE_ONLY[*]} " != *" $name "* ]]; then
        # A crash of the test process is reported with its stack: from its
        # core, written in the test's temporary folder under $work/tmp; the
        # test is run once more. A failed check is never run again.
        local attempt code core
        for attempt in 1 2; do
            code=0
            (cd "$work" && ulimit -c unlimited && mkdir -p tmp &&
                exec timeout 120 "${run[@]}" TMPDIR="$work/tmp" \
                    "$BUILD/tests/desktop_tests") || code=$?
            while read -r core; do
                command -v gdb >/dev/null &&
                    gdb -batch -ex 'bt 30' -ex 'thread apply all bt 6' "$BUILD/tests/desktop_tests" \
                        "$core" 2>&1 | grep -E '^(#|Thread)' | head -n 90
                rm -f "$core"
            done < <(find "$work/tmp" -name 'core*' -type f 2>/dev/null)
            [ $code -ge 128 ] && [ $code -ne 124 ] && [ $attempt -eq 1 ] || break
            echo "$me: $name: the test crashed (status $code); once more"
        done
        [ $code -eq 0 ] || status=1
    fi

    local seconds=${TARVIN_IDLE_SECONDS:-3} floor game
    "${run[@]}" "$BUILD/bench/startup_floor" 2>/dev/null &
    local bare=$!
    sleep 2
    floor=$(cost $bare "$seconds")
    kill $bare
    (cd "$work/play" && exec "${run[@]}" "$BUILD/tarvin") 2>"$work/game.log" &
    local game_pid=$!
    sleep 2
    game=$(cost $game_pid "$seconds")
    echo "$me: $name: idle ${seconds} s, wake-ups and CPU ticks: bare window $floor, game $game"
    read -r fw fc <<<"$floor"
    read -r gw gc <<<"$game"
    # The game's clock ticks once a second; anything like a fight with the
    # compositor costs hundreds.
    if [ "$gw" -gt $((2 * fw + 10 * seconds)) ] || [ "$gc" -gt $((fc + 3 * seconds)) ]; then
        echo "$me: $name: the idle game costs more than the bare window" >&2
        status=1
    fi
    xdotool key Escape
    local code=running
    for _ in $(seq 20); do
        kill -0 $game_pid 2>/dev/null || { wait $game_pid && code=0 || code=$?; break; }
        sleep 0.1
    done
    if [ "$code" != 0 ]; then
        echo "$me: $name: Escape: the game $([ "$code" = running ] && echo "still runs 2 s later" ||
            echo "ended with $code")" >&2
        kill $game_pid 2>/dev/null
        status=1
    fi
    [ $status -eq 0 ] || { echo "$me: $name: FAILED; the desktop said:" >&2 &&
        tail -n 15 "$work/desktop.log" >&2; }
    return $status
}

if [ "${1:-}" = --inside ]; then
    # In a PID namespace of the desktop's own: its X server and whatever the
    # desktop started end with it.
    work=$2
    export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
    mkfifo "$work/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    read -r -t 10 display <"$work/display" || { echo "$me: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$display
    # A session bus, and an empty system bus where gnome-shell looks for
    # logind.
    for bus in session system; do
        dbus-daemon --session --address="unix:path=$XDG_RUNTIME_DIR/$bus" --nofork \
            --nopidfile 2>/dev/null &
    done
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/session
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system
    for _ in $(seq 50); do [ -S "$XDG_RUNTIME_DIR/system" ] && break; sleep 0.1; done
    inside "$3"
    exit
fi

NO_RECOMMENDS=1 ensure_packages "${DESKTOP_PACKAGES[@]}"
ensure_packages "${WAYLAND_PACKAGES[@]}"
build_tarvin desktop_tests tarvin startup_floor

# Desktops run side by side, each on its own X server: most of a run is
# waiting for the desktop.
lanes=${TARVIN_DESKTOP_LANES:-2}
declare -A running=() # pid -> desktop
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT
finish() { # reaps one run, prints what it said
    local pid status=0
    wait -n -p pid "${!running[@]}" || status=$?
    cat "$results/${running[$pid]}.log"
    echo "$status" >"$results/${running[$pid]}.status"
    unset "running[$pid]"
}
# A chroot's root is no mount point whose propagation could be changed;
# tools/test-release.sh has made its mounts private already.
propagation=private
unshare --mount --propagation private true 2>/dev/null || propagation=unchanged
skipped=()
for name in "${@:-${ORDER[@]}}"; do
    why=$(unavailable "$name")
    if [ -n "$why" ]; then
        echo "$me: $name: skipped: $why"
        skipped+=("$name")
        echo 0 >"$results/$name.status"
        continue
    fi
    [ ${#running[@]} -ge "$lanes" ] && finish
    work="$results/$name"
    mkdir -p "$work/home" "$work/play" && mkdir -m 700 "$work/runtime"
    cp "$ROOT"/assets/sounds/Dizo[1-5].wav "$work/play/"
    unshare --mount --propagation "$propagation" --pid --fork --kill-child --mount-proc "$0" \
        --inside "$work" "$name" >"$results/$name.log" 2>&1 &
    running[$!]=$name
done
while [ ${#running[@]} -gt 0 ]; do finish; done
passed=0 failed=()
for name in "${@:-${ORDER[@]}}"; do
    [[ " ${skipped[*]} " == *" $name "* ]] && continue
    if [ "$(cat "$results/$name.status")" = 0 ]; then passed=$((passed + 1)); else failed+=("$name"); fi
done
[ ${#failed[@]} -eq 0 ] || echo "$me: failed on: ${failed[*]}" >&2
echo "desktops: $passed passed, ${#failed[@]} failed, ${#skipped[@]} skipped"
[ ${#failed[@]} -eq 0 ]
