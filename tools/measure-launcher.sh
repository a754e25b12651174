#!/usr/bin/env bash
# What the tarvin command adds to a start: the installed tree is staged in a
# temporary folder, its game replaced by a program that exits at once, and
# that program is timed alone and through the command (folder already
# prepared, as on every start but the first).
# Usage: tools/measure-launcher.sh (after a build)
set -euo pipefail
export LC_ALL=C.UTF-8 # numbers with a decimal point, whatever the desktop's language
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
DESTDIR="$tmp/root" cmake --install "$ROOT/build" --prefix /usr >/dev/null
cp /bin/true "$tmp/root/usr/libexec/tarvin/tarvin"
export HOME="$tmp/home" XDG_DATA_HOME=
# Prints the mean wall and CPU time (user + system, all processes) of one
# start of $1, in microseconds: the best of 5 rounds of 500 starts each.
# CPU time hardly depends on what else the machine is doing; wall time does.
per_start_us() {
    local best_wall= best_cpu=
    for round in 1 2 3 4 5; do
        local start end cpu
        start=$(date +%s%N)
        cpu=$( (for _ in $(seq 500); do "$1"; done; times) | tail -1 |
            sed 's/[ms]/ /g' | awk '{ print int(($1 * 60 + $2 + $3 * 60 + $4) * 2000) }')
        end=$(date +%s%N)
        local wall=$(((end - start) / 500000))
        if [ -z "$best_wall" ] || [ "$wall" -lt "$best_wall" ]; then best_wall=$wall; fi
        if [ -z "$best_cpu" ] || [ "$cpu" -lt "$best_cpu" ]; then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}
"$tmp/root/usr/games/tarvin" # the first start prepares the folder
read -r alone_wall alone_cpu < <(per_start_us "$tmp/root/usr/libexec/tarvin/tarvin")
read -r through_wall through_cpu < <(per_start_us "$tmp/root/usr/games/tarvin")
echo "game alone: ${alone_wall} us wall, ${alone_cpu} us CPU;" \
    "through the tarvin command: ${through_wall} us wall, ${through_cpu} us CPU;" \
    "added: $((through_wall - alone_wall)) us wall, $((through_cpu - alone_cpu)) us CPU per start"
