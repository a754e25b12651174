#!/usr/bin/env bash
# The installed game, started through the tarvin command of a staged install
# tree with a fresh HOME, as a player starts it. Needs an X display.
# Usage: LauncherTest.sh CASE STAGED_PREFIX
set -euo pipefail
case_name=$1
prefix=$2
command="$prefix/games/tarvin"
cues="$prefix/share/games/tarvin"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME="$tmp/home" SDL_AUDIODRIVER=dummy
unset XDG_DATA_HOME
mkdir -p "$HOME"
cd "$tmp" # the game must not use the folder it is started from

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits for a top-level window titled exactly $1; prints its id.
window() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }

# Starts the command, waits for the game's window, checks $1 is there while it
# runs, quits with Escape and expects a clean exit.
play_and_quit() {
    "$command" &
    local pid=$!
    local id
    id=$(window 'Тарвин') || fail "no game window"
    for cue in "$cues"/Dizo?.wav; do
        [ -f "$1/$(basename "$cue")" ] || fail "$(basename "$cue") missing while playing"
    done
    xdotool windowfocus --sync "$id" key Escape
    wait "$pid" || fail "the game exited with status $?"
}

# Starts the command where the folder cannot be prepared: the error box must
# show and no game start; Return closes the box, the status is 1.
as_player=()
expect_error_box() {
    "${as_player[@]}" "$command" 2>"$tmp/stderr" &
    local pid=$!
    local id
    id=$(window 'Логическая игра "Тарвин"') || fail "no error box"
    [ -z "$(xdotool search --onlyvisible --name '^Тарвин$' 2>/dev/null)" ] || fail "a game started"
    xdotool windowfocus --sync "$id" key Return
    local status=0
    wait "$pid" || status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, not 1"
    grep -q "$1" "$tmp/stderr" || fail "no reason given: $(cat "$tmp/stderr")"
}

folder="$HOME/.local/share/tarvin"
case $case_name in
installed_entry_and_metainfo_validate_cleanly)
    out=$(desktop-file-validate "$prefix"/share/applications/*.desktop 2>&1)
    [ -z "$out" ] || fail "desktop-file-validate: $out"
    # The game has no web address, and AppStream 1.0 warns of the missing
    # homepage (the package carries a lintian override for it); any other
    # warning or error fails.
    out=$(appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml 2>&1) || true
    grep -q 'Validation' <<<"$out" || fail "appstreamcli: $out"
    ! grep -E '^[EW]:' <<<"$out" | grep -v ': url-homepage-missing$' || fail "appstreamcli: $out"
    for size in 16 32 48 64 128 256; do
        [ -s "$prefix/share/icons/hicolor/${size}x$size/apps/ru.tarvin.Tarvin.png" ] ||
            fail "no $size px icon"
    done
    ;;
first_launch_creates_folder_with_cues_and_escape_saves_records)
    play_and_quit "$folder"
    for cue in "$cues"/Dizo?.wav; do
        cmp "$cue" "$folder/$(basename "$cue")" || fail "$(basename "$cue") differs"
    done
    [ -f "$folder/Tarvin.tbr" ] || fail "no Tarvin.tbr in the player's folder"
    [ ! -e "$tmp/Tarvin.tbr" ] || fail "Tarvin.tbr written where the command was started"
    [ "$(ls -A "$folder" | wc -l)" -eq 6 ] || fail "stray files: $(ls -A "$folder")"
    ;;
replaced_cue_and_records_survive_the_next_launch)
    mkdir -p "$folder"
    printf 'my own cue' >"$folder/Dizo3.wav"
    printf ' Ivan\r\n 0 : 2 : 7\r\n \r\n \r\n' >"$folder/Tarvin.tbr"
    play_and_quit "$folder"
    [ "$(cat "$folder/Dizo3.wav")" = "my own cue" ] || fail "the player's cue was replaced"
    cmp "$cues/Dizo2.wav" "$folder/Dizo2.wav" || fail "a missing cue was not copied"
    grep -q ' Ivan' "$folder/Tarvin.tbr" || fail "the records were lost"
    ;;
xdg_data_home_is_honoured_when_absolute)
    export XDG_DATA_HOME="$tmp/data"
    play_and_quit "$XDG_DATA_HOME/tarvin"
    [ -f "$XDG_DATA_HOME/tarvin/Tarvin.tbr" ] || fail "no Tarvin.tbr under XDG_DATA_HOME"
    [ ! -e "$folder" ] || fail "the folder under HOME was made as well"
    export XDG_DATA_HOME=relative/data # not absolute: ignored
    play_and_quit "$folder"
    [ ! -e "$tmp/relative" ] || fail "a relative XDG_DATA_HOME was used"
    ;;
unusable_folder_shows_the_reason_and_starts_no_game)
    export XDG_DATA_HOME="$tmp/a-file"
    echo keep >"$XDG_DATA_HOME"
    expect_error_box "a-file/tarvin: это не папка"
    [ "$(cat "$XDG_DATA_HOME")" = keep ] || fail "the file in the way was changed"
    ;;
unwritable_home_shows_the_reason_and_starts_no_game)
    chmod 555 "$HOME"
    if [ "$(id -u)" -eq 0 ]; then
        # Root may write anywhere: the command runs as nobody, from a copy
        # of the tree that nobody can reach, with a copy of the X cookie.
        chmod 755 "$tmp"
        cp -a "$prefix" "$tmp/usr"
        command="$tmp/usr/games/tarvin"
        cp "$XAUTHORITY" "$tmp/xauth"
        chmod 644 "$tmp/xauth"
        export XAUTHORITY="$tmp/xauth"
        as_player=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    expect_error_box "home/.local/share/tarvin: доступ запрещён"
    [ -z "$(ls -A "$HOME")" ] || fail "something was made in HOME"
    ;;
failed_copy_leaves_no_partial_cue)
    # A file size limit makes the copy fail part way, as a full disk does.
    mkdir -p "$folder"
    (trap '' XFSZ; ulimit -f 2; expect_error_box "Dizo1.wav: файл слишком велик")
    [ -z "$(ls -A "$folder")" ] || fail "left behind: $(ls -A "$folder")"
    ;;
error_box_without_a_display_exits_1_with_the_reason)
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \
        "$prefix/libexec/tarvin/tarvin-error-box" "Не удаётся создать папку" 2>"$tmp/stderr" ||
        status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, not 1: $(cat "$tmp/stderr")"
    grep -q "Не удаётся создать папку" "$tmp/stderr" || fail "no reason given: $(cat "$tmp/stderr")"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
