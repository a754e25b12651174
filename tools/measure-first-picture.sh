#!/usr/bin/env bash
# The game's first picture and peak memory, side by side with the floor: a
# bare Qt window with the game's menu and a GL surface that draws the scene
# once (bench/StartupFloor.cpp). Runs alternate between the two on one Xvfb,
# each a fresh process; the first picture is the first buffer swap, timed
# from just before the program starts (bench/FirstSwapProbe.cpp, preloaded),
# with the CPU time the program had used by then (less shaken by the load of
# the machine than the wall time).
# The game starts in a folder with its five cues and a records file of 20
# entries, as a player's. Peak memory is the process's VmHWM, read after it
# has been up IDLE seconds. BEFORE=path/to/an/older/tarvin adds that build as
# a third side, in the same rotation.
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
one() { # name program...: prints "name ms kB cpu-ms"
    local out="$WORK/swap" pid ms cpu
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
    read -r ms cpu <"$out" || { ms=nan cpu=nan; }
    echo "$1 $ms $hwm $cpu"
}
side() {
    case "$1" in
    floor) one floor "$BUILD/bench/startup_floor" ;;
    game) (cd "$WORK/play" && one game "$BUILD/tarvin") ;;
    before) (cd "$WORK/play" && one before "$BEFORE") ;;
    esac
}
sides=(floor game)
[ -n "$BEFORE" ] && sides+=(before)
for run in $(seq 1 "$RUNS"); do
    # Each side takes each place in the order in turn.
    n=${#sides[@]}
    for i in $(seq 0 $((n - 1))); do side "${sides[$(((i + run) % n))]}"; done
done
INNER
BEFORE="${BEFORE:-}"
export WORK BUILD RUNS IDLE BEFORE
export XDG_RUNTIME_DIR="$WORK/runtime" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$WORK/run.sh" | tee "$WORK/results"
awk '
    { ms[$1] = ms[$1] " " $2; kb[$1] = kb[$1] " " $3; cpu[$1] = cpu[$1] " " $4 }
    function median(list,   a, n, i, j, t) {
        n = split(list, a, " ")
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
        return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    END {
        fm = median(ms["floor"]); fk = median(kb["floor"]); fc = median(cpu["floor"])
        for (side in ms) if (side != "floor") {
            printf "%-6s first picture %.1f ms, floor %.1f ms (%.2f x); CPU by then %.1f ms, floor %.1f ms (%.2f x); peak memory %.1f MB, floor %.1f MB (%.2f x)\n",
                side, median(ms[side]), fm, median(ms[side]) / fm,
                median(cpu[side]), fc, median(cpu[side]) / fc,
                median(kb[side]) / 1024, fk / 1024, median(kb[side]) / fk
        }
    }' "$WORK/results"
