#!/usr/bin/env bash
# The game's first picture and peak memory, side by side with the floor: a
# bare Qt window with the game's menu and a GL surface that draws the scene
# once (bench/StartupFloor.cpp). Runs alternate between the two on one Xvfb,
# each a fresh process; the first picture is the first buffer swap, timed
# from just before the program starts (bench/FirstSwapProbe.cpp, preloaded).
# The game starts in a folder with its five cues and a records file of 20
# entries, as a player's. Peak memory is the process's VmHWM, read after it
# has been up IDLE seconds.
#   tools/measure-first-picture.sh [runs per side, default 9] [idle seconds, default 3]
set -euo pipefail
export LC_ALL=C.UTF-8
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${BUILD:-$ROOT/build}"
RUNS="${1:-9}"
IDLE="${2:-3}"
for f in "$BUILD/tarvin" "$BUILD/bench/startup_floor" "$BUILD/bench/libfirst_swap_probe.so"; do
    [ -e "$f" ] || { echo "missing $f: build the targets tarvin, startup_floor, first_swap_probe" >&2; exit 1; }
done
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/play" "$WORK/runtime"
chmod 700 "$WORK/runtime"
cp "$ROOT"/assets/sounds/Dizo?.wav "$WORK/play/"
for i in $(seq 1 20); do printf ' Игрок %d\r\n 0 : %d : %d\r\n' "$i" "$((i % 60))" "$((i * 7 % 60))"; done |
    iconv -f UTF-8 -t CP1251 >"$WORK/play/Tarvin.tbr"
printf ' \r\n \r\n' >>"$WORK/play/Tarvin.tbr"

cat >"$WORK/run.sh" <<'INNER'
set -euo pipefail
one() { # name program...: prints "ms kB"
    local out="$WORK/swap" pid
    rm -f "$out"
    FIRST_SWAP_OUT="$out" FIRST_SWAP_LAUNCH_NS="$(date +%s%N)" \
        LD_PRELOAD="$BUILD/bench/libfirst_swap_probe.so" "${@:2}" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 200); do [ -s "$out" ] && break; sleep 0.05; done
    sleep "$IDLE"
    local hwm
    hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "$1 $(cat "$out" 2>/dev/null || echo nan) $hwm"
}
for run in $(seq 1 "$RUNS"); do
    if [ $((run % 2)) -eq 1 ]; then
        one floor "$BUILD/bench/startup_floor"
        (cd "$WORK/play" && one game "$BUILD/tarvin")
    else
        (cd "$WORK/play" && one game "$BUILD/tarvin")
        one floor "$BUILD/bench/startup_floor"
    fi
done
INNER
export WORK BUILD RUNS IDLE
export XDG_RUNTIME_DIR="$WORK/runtime" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$WORK/run.sh" | tee "$WORK/results"
awk '
    { ms[$1] = ms[$1] " " $2; kb[$1] = kb[$1] " " $3 }
    function median(list,   a, n, i, j, t) {
        n = split(list, a, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    END {
        fm = median(ms["floor"]); gm = median(ms["game"])
        fk = median(kb["floor"]); gk = median(kb["game"])
        printf "first picture, median: game %.1f ms, floor %.1f ms (%.2f x)\n", gm, fm, gm / fm
        printf "peak memory, median:   game %.1f MB, floor %.1f MB (%.2f x)\n", gk / 1024, fk / 1024, gk / fk
    }' "$WORK/results"
