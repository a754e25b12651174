#!/usr/bin/env bash
# What accessibility costs: a key to its picture (bench/KeyToPixels.cpp), the
# first picture and idle CPU (bench/StartupProbe.cpp), with the AT-SPI bridge
# off and on, in alternating rounds, each on an Xvfb of its own. "On" is the
# game in a D-Bus session of its own with the accessibility bus, the bridge
# forced on as a running screen reader turns it on, and a client that listens
# as a screen reader does: it asks for focus, name and announcement events and
# reads the name of each object they come from.
# Usage: tools/measure-a11y.sh [rounds, default 3] (after a build)
set -euo pipefail
export LC_ALL=C.UTF-8
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BENCH="$ROOT/build/bench"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
export SDL_AUDIODRIVER=dummy

measure() {
    "$BENCH/key_to_pixels" "$ROOT/build/tarvin" 2>/dev/null | grep -E '^(the game|bare|game /)'
    "$BENCH/startup_probe" game "$(date +%s%N)" 10 2>/dev/null
}

case "${1:-}" in
--off)
    measure
    ;;
--on) # inside the D-Bus session
    /usr/bin/python3 -c '
import pyatspi
def read(event):
    event.source.name
for kind in ("object:state-changed:focused", "object:property-change:accessible-name",
             "object:announcement"):
    pyatspi.Registry.registerEventListener(read, kind)
print("listening", flush=True)
pyatspi.Registry.start()' >"$XDG_RUNTIME_DIR/listener.out" 2>/dev/null &
    listener=$!
    for _ in $(seq 100); do
        grep -q listening "$XDG_RUNTIME_DIR/listener.out" && break
        sleep 0.1
    done
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 measure
    kill "$listener"
    ;;
*)
    for round in $(seq "${1:-3}"); do
        echo "== round $round, accessibility off"
        xvfb-run -a -s "-screen 0 1024x768x24" "$0" --off
        echo "== round $round, accessibility on"
        xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- "$0" --on 2>/dev/null
    done
    ;;
esac
