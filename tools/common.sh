# Shared by run.sh and test.sh: installs what is missing and builds.
# Works on Debian 12 and Debian 13: every package below has the same name on
# both.
set -euo pipefail
# The scripts read and print numbers and tools' messages: a decimal point and
# untranslated texts whatever the desktop's language. The game started by
# run.sh gets the player's own locale back.
[ -n "${LC_ALL+set}" ] && PLAYER_LC_ALL=$LC_ALL
export LC_ALL=C.UTF-8

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build"

# qt6-base-private-dev and libwayland-dev: Qt 6.4 keeps a dialog's fixed size
# on Wayland through the connection itself (src/dialogs/FixedSize.cpp).
RUN_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-private-dev libwayland-dev libgl-dev
              libglu1-mesa-dev libgl1-mesa-dri libsdl2-dev libgtest-dev libbenchmark-dev fonts-liberation2)
# The screen reader tests: a D-Bus session with the accessibility bus, an
# AT-SPI client, keys through XTest, and the screen reader itself with the
# speech server it talks to (pgrep: whether another Orca runs).
A11Y_TEST_PACKAGES=(dbus-daemon dbus-bin at-spi2-core python3-pyatspi xdotool orca speech-dispatcher
                    procps)
# libpulse0 is SDL's client of the sound server that the quitting test plays;
# dbus-x11 the dbus-launch a game without a session bus must not start.
TEST_PACKAGES=(xvfb xauth libpulse0 dbus-x11 "${A11Y_TEST_PACKAGES[@]}")
# The Wayland pass: a nested compositor, Qt's Wayland platform, input and
# screenshots through the X server that hosts the compositor.
WAYLAND_PACKAGES=(weston qt6-wayland libegl1 libegl-mesa0 xdotool imagemagick)
# The desktops pass (tools/test-desktops.sh): the compositors and window
# managers players use, with what they need to start nested, without their
# recommended desktop around them.
DESKTOP_PACKAGES=(gnome-shell kwin-wayland kwin-x11 kwin-style-breeze sway cage phoc openbox
                  x11-utils dbus-daemon xdotool imagemagick)
# The sanitizer build and the records fuzzer.
SANITIZER_PACKAGES=(clang libclang-rt-dev)
# The installed files and the tarvin command under test.
INSTALL_TEST_PACKAGES=(xdotool desktop-file-utils appstream)
# The idle measure with a real sound server (tools/measure-idle.sh pulse).
SOUND_SERVER_PACKAGES=(pulseaudio pulseaudio-utils)

# Installs the named Debian packages that are not installed yet.
ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if ! can_be_root; then
        echo "Missing Debian packages: ${missing[*]}" >&2
        echo "Install them (apt-get install ${missing[*]}), or run this as root" \
            "or with a sudo that asks no password." >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    # Another run may be installing at the same time: wait for its lock.
    local apt=(apt-get -o DPkg::Lock::Timeout=600)
    [ "${NO_RECOMMENDS:-0}" = 1 ] && apt+=(--no-install-recommends)
    as_root "${apt[@]}" update -qq
    as_root env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq "${missing[@]}" >/dev/null
}

# Whether commands can run as root: as root, or through a sudo that asks no
# password. A password prompt would hang an unattended run.
can_be_root() {
    [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null
}

# Runs a command as root; says what is needed and stops where it cannot.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif can_be_root; then
        sudo -n "$@"
    else
        echo "Needs root to run: $*" >&2
        echo "Run this as root, or with a sudo that asks no password." >&2
        exit 1
    fi
}

# Installs the Debian package's build dependencies, as debian/control lists
# them, when any is missing.
ensure_build_depends() {
    ensure_packages dpkg-dev
    dpkg-checkbuilddeps "$ROOT/debian/control" 2>/dev/null && return 0
    echo "Installing the build dependencies of the package"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq "$ROOT" >/dev/null
}

# Builds everything, or only the targets named.
build_tarvin() {
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build "$BUILD" --target "$@"
    else
        cmake --build "$BUILD"
    fi
}

# Copies the working tree into the folder $1: tracked and new files as they
# are now, nothing ignored (no build folders); outside git, all but build/
# and play/.
copy_work_tree() {
    if git -C "$ROOT" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        (cd "$ROOT" && git ls-files -z --cached --others --exclude-standard |
            xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
            tar --null -T - -cf -) | tar -xf - -C "$1"
    else
        tar -C "$ROOT" --exclude=./build --exclude=./play -cf - . | tar -xf - -C "$1"
    fi
}

# xvfb-run -a takes the first display from 99 up whose lock file is free, but
# the X server of a chroot's run elsewhere on the machine keeps its lock in a
# /tmp of its own while its socket is shared: two runs from 99 would meet on
# one server and lose it when the other ends. A display drawn at random from
# 100 to 999 is where the search starts.
xvfb_run() {
    xvfb-run -a -n "$((100 + RANDOM % 900))" -s "-screen 0 1024x768x24" "$@"
}

# The play folder is the game's working directory: cue files and records.
prepare_play_folder() {
    mkdir -p "$ROOT/play"
    cp "$ROOT"/assets/sounds/Dizo[1-5].wav "$ROOT/play/"
}
