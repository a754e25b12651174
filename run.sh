#!/usr/bin/env bash
# Sets everything up and starts the game from the play folder.
source "$(dirname "$0")/tools/common.sh"
ensure_packages "${RUN_PACKAGES[@]}"
build_tarvin tarvin
prepare_play_folder
cd "$ROOT/play"
if [ -n "${PLAYER_LC_ALL+set}" ]; then export LC_ALL=$PLAYER_LC_ALL; else unset LC_ALL; fi
exec "$BUILD/tarvin"
