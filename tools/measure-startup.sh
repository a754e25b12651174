#!/usr/bin/env bash
# Start-up to the first swapped frame, peak RSS and idle CPU of the game
# against a bare Qt window with the same GL surface, each run 5 times under
# Xvfb. Usage: tools/measure-startup.sh [idle seconds, default 10]
set -euo pipefail
export LC_ALL=C.UTF-8 # numbers with a decimal point, whatever the desktop's language
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
PROBE="$ROOT/build/bench/startup_probe"
IDLE="${1:-10}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
for mode in bare game; do
    for run in 1 2 3 4 5; do
        idle=0
        [ "$run" -eq 1 ] && idle="$IDLE"
        xvfb-run -a -s "-screen 0 1024x768x24" bash -c "\"$PROBE\" $mode \$(date +%s%N) $idle"
    done
done
