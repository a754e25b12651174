#!/usr/bin/env bash
# What the tarvin command adds to a start: the installed tree is staged in a
# temporary folder, its game replaced by a program that exits at once, and
# that program is timed alone and through the command (folder already
# prepared, as on every start but the first). Mean of 500 runs, best of 5.
# Usage: tools/measure-launcher.sh (after a build)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
DESTDIR="$tmp/root" cmake --install "$ROOT/build" --prefix /usr >/dev/null
cp /bin/true "$tmp/root/usr/libexec/tarvin/tarvin"
export HOME="$tmp/home" XDG_DATA_HOME=
mean_us() {
    local best=
    for round in 1 2 3 4 5; do
        local start end
        start=$(date +%s%N)
        for _ in $(seq 500); do "$1"; done
        end=$(date +%s%N)
        local us=$(((end - start) / 500000))
        [ -z "$best" ] || [ "$us" -lt "$best" ] && best=$us
    done
    echo "$best"
}
"$tmp/root/usr/games/tarvin" # the first start prepares the folder
alone=$(mean_us "$tmp/root/usr/libexec/tarvin/tarvin")
through=$(mean_us "$tmp/root/usr/games/tarvin")
echo "game alone: ${alone} us, through the tarvin command: ${through} us," \
    "added: $((through - alone)) us per start"
