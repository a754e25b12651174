#!/usr/bin/env bash
# Wake-ups of the game while nothing plays, against a bare Qt window with the
# same GL surface (the toolkit's floor), run alternately under one Xvfb per
# round. Context switches (voluntary + forced) of every thread are read from
# /proc over 10 s before the first key (start-up settled for 7 s), over the
# 3 s right after the last cue, and over 10 s from 10 s after the last cue.
# The keys are five Right presses 0.3 s apart, each playing a cue.
# Usage: tools/measure-idle.sh [dummy|pulse] [rounds, default 3]
#   TARVIN_GAME=path measures another build of the game.
#   dummy: SDL's silent driver.
#   pulse: a PulseAudio server of the script's own on a null sink, as a
#          player's desktop has one; the server's own wake-ups are shown too,
#          and then how soon a cue is heard after silence and in play.
set -euo pipefail
export LC_ALL=C.UTF-8
ROOT="$(cd "$(dirname "$0")/.." && pwd)"

# Prints "thread-id thread-name switches" for every thread of process $1.
switches() {
    local task
    for task in /proc/"$1"/task/*; do
        awk -v name="$(cat "$task/comm" 2>/dev/null)" -v tid="${task##*/}" \
            '/^(non)?voluntary_ctxt_switches/ { s += $2 } END { print tid, name, s }' \
            "$task/status" 2>/dev/null || true
    done
}

# Wake-ups of process $1 over the next $2 seconds: the total, the threads
# with more than 5, and the sound server's total.
over() {
    switches "$1" >"$tmp/before"
    [ -n "$server" ] && switches "$server" >"$tmp/server-before"
    sleep "$2"
    switches "$1" >"$tmp/after"
    local delta='NR == FNR { was[$1] = $3; next }
                 { d = $3 - was[$1]; total += d; if (d > 5) busy = busy " " $2 "=" d }
                 END { printf "%d%s", total, busy }'
    awk "$delta" "$tmp/before" "$tmp/after"
    if [ -n "$server" ]; then
        switches "$server" >"$tmp/server-after"
        printf '; sound server: '
        awk "$delta" "$tmp/server-before" "$tmp/server-after"
    fi
    echo
}

# One run of "game" or "bare" on the current X display.
run() {
    cd "$tmp"
    if [ "$1" = game ]; then
        "${TARVIN_GAME:-$ROOT/build/tarvin}" 2>/dev/null &
    else
        "$ROOT/build/bench/startup_floor" 2>/dev/null &
    fi
    local pid=$! window first playing last
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -1) || true
    sleep 7 # the game's sound device stays open 5 s after start-up
    first=$(over "$pid" 10)
    if [ "$1" = game ] && [ -n "$window" ]; then
        xdotool windowfocus --sync "$window"
        for _ in 1 2 3 4 5; do
            xdotool key Right
            sleep 0.3
        done
    fi
    playing=$(over "$pid" 3)
    sleep 7
    last=$(over "$pid" 10)
    printf '%-4s 10 s before the first key: %s\n' "$1" "$first"
    printf '     3 s right after the last cue: %s\n' "$playing"
    printf '     10 s from 10 s after the last cue: %s\n' "$last"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

if [ "${1:-}" = --inside ]; then # one round, on the display xvfb-run made
    tmp=$TARVIN_IDLE_TMP server=$TARVIN_IDLE_SERVER
    run bare
    run game
    exit 0
fi

DRIVER="${1:-dummy}"
ROUNDS="${2:-3}"
source "$ROOT/tools/common.sh"
ensure_packages "${TEST_PACKAGES[@]}"
[ "$DRIVER" = pulse ] && ensure_packages "${SOUND_SERVER_PACKAGES[@]}"
build_tarvin tarvin startup_floor cue_latency_probe >/dev/null

tmp=$(mktemp -d)
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$tmp/run" HOME="$tmp"
mkdir -m 700 "$XDG_RUNTIME_DIR"
cp "$ROOT"/assets/sounds/Dizo[1-5].wav "$tmp/"
if [ "$DRIVER" = pulse ]; then
    export SDL_AUDIODRIVER=pulseaudio
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-level=error \
        -L module-native-protocol-unix -L "module-null-sink sink_name=null" 2>/dev/null &
    server=$!
    for _ in $(seq 50); do
        [ -S "$XDG_RUNTIME_DIR/pulse/native" ] && break
        sleep 0.1
    done
    [ -S "$XDG_RUNTIME_DIR/pulse/native" ] || { echo "PulseAudio did not start" >&2; exit 1; }
else
    export SDL_AUDIODRIVER=dummy
fi
echo "Driver: $DRIVER; wake-ups: total, threads with more than 5"
for _ in $(seq "$ROUNDS"); do
    TARVIN_IDLE_TMP="$tmp" TARVIN_IDLE_SERVER="$server" \
        xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside
done
if [ "$DRIVER" = pulse ]; then
    echo "A cue to its sound at the server's monitor (7 s of silence before each first cue):"
    (cd "$tmp" && "$ROOT/build/bench/cue_latency_probe" 5)
fi
