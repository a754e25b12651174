#!/usr/bin/env bash
# Runs the whole ./test.sh in a fresh Debian chroot of another release, from a
# clone of this tree (uncommitted changes included), as a new player on that
# release would run it.
# Usage: tools/test-release.sh [trixie|bookworm|forky|testing]
#   The default is the supported stable release this machine does not run;
#   forky (or testing) is Debian testing, the next release.
#   TARVIN_CHROOT_CACHE  where the base systems are kept (/var/cache/tarvin-chroot)
#   TARVIN_CHROOT_REFRESH=1  makes the base system anew; it is also remade
#       when it is older than a week, so it follows the release's updates.
#   TARVIN_DEBIAN_MIRROR  the Debian mirror (http://deb.debian.org/debian)
#
# The chroot's /proc, /sys, /dev and a private /tmp are mounted in a mount and
# process namespace of their own: whatever ends the run, its mounts and its
# processes end with it and the host never sees them.
source "$(dirname "$0")/common.sh"
me="test-release"
die() {
    echo "$me: $*" >&2
    exit 1
}

if [ "${1:-}" = --inside ]; then
    # In the private namespaces: mount, run the suite, unmount.
    dir=$2
    cleanup_mounts() { umount -R "$dir/proc" "$dir/sys" "$dir/dev" "$dir/tmp" \
        "$dir/var/cache/apt/archives" 2>/dev/null || true; }
    trap cleanup_mounts EXIT
    mount -t proc proc "$dir/proc"
    mount --rbind /sys "$dir/sys"
    mount --rbind /dev "$dir/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$dir/tmp"
    mount --bind "$3" "$dir/var/cache/apt/archives"
    chroot "$dir" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" \
        TARVIN_OTHER_RELEASE=1 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c 'cd /src/tarvin && ./test.sh'
    exit
fi

host=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
release=${1:-$([ "$host" = trixie ] && echo bookworm || echo trixie)}
case $release in
bookworm) name="Debian 12" ;;
trixie) name="Debian 13" ;;
forky | testing) release=forky name="Debian testing" ;;
*) die "unsupported release '$release' (trixie, bookworm, forky or testing)" ;;
esac
# The mirror may be a frozen snapshot, whose testing Release file is past its
# Valid-Until date (testing's lasts a week, a stable release's has none).
# Such a snapshot is accepted for the testing chroot only, as snapshot users
# do; the host's apt is never changed. debootstrap itself checks only the
# signature, not Valid-Until.
[ $release = forky ] && no_valid_until=1 || no_valid_until=0

if [ "$(id -u)" -ne 0 ]; then
    sudo -n true 2>/dev/null || die "needs root: run it as root or with a sudo that asks no password"
    exec sudo -n --preserve-env=CI,TARVIN_CHROOT_CACHE,TARVIN_CHROOT_REFRESH,TARVIN_DEBIAN_MIRROR \
        "$0" "$@"
fi
ensure_packages debootstrap || die "cannot install debootstrap"
command -v git >/dev/null || die "needs git to clone the tree"
command -v unshare >/dev/null || die "needs unshare (util-linux)"

arch=$(dpkg --print-architecture)
mirror=${TARVIN_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${TARVIN_CHROOT_CACHE:-/var/cache/tarvin-chroot}
base="$cache/$release-$arch.tar"
debs="$cache/$release-$arch-debs"
mkdir -p "$cache" "$debs"

# One run at a time makes or reads the base system.
exec 9>"$cache/lock"
flock 9
if [ "${TARVIN_CHROOT_REFRESH:-0}" = 1 ] || [ -z "$(find "$base" -mtime -7 2>/dev/null)" ]; then
    echo "$me: making the $name base system in $cache"
    fresh=$(mktemp -d /var/tmp/tarvin-base.XXXXXX)
    log="$cache/debootstrap.log"
    # An older debootstrap has no script for the newest release; sid's serves.
    script=/usr/share/debootstrap/scripts/$release
    [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
    if ! debootstrap --variant=minbase --include=git,ca-certificates "$release" "$fresh" \
        "$mirror" "$script" >"$log" 2>&1; then
        rm -rf "$fresh"
        die "debootstrap of $name from $mirror failed (no network for the mirror?); see $log"
    fi
    # The downloaded packages are kept for the next run, in a folder of
    # root's that apt's own download user cannot enter.
    echo 'APT::Sandbox::User "root";' >"$fresh/etc/apt/apt.conf.d/90tarvin"
    # Services are never started in the chroot.
    printf '#!/bin/sh\nexit 101\n' >"$fresh/usr/sbin/policy-rc.d"
    chmod 755 "$fresh/usr/sbin/policy-rc.d"
    if [ $no_valid_until = 1 ]; then
        echo 'Acquire::Check-Valid-Until "false";' >>"$fresh/etc/apt/apt.conf.d/90tarvin"
        # Testing gets its fixes through the release itself: its -updates
        # and -security suites stay empty.
        echo "deb $mirror $release main" >"$fresh/etc/apt/sources.list"
    else
        cat >"$fresh/etc/apt/sources.list" <<EOF
deb $mirror $release main
deb $mirror $release-updates main
deb ${mirror%/debian}/debian-security $release-security main
EOF
    fi
    chmod 755 "$fresh" # the root folder of the system, not mktemp's private one
    tar -C "$fresh" -cf "$base.new" .
    mv "$base.new" "$base"
    rm -rf "$fresh"
fi
flock -u 9

run=$(mktemp -d /var/tmp/tarvin-chroot.XXXXXX)
trap 'rm -rf --one-file-system "$run"' EXIT
tar -C "$run" -xf "$base"
chmod 755 "$run"
cp /etc/resolv.conf "$run/etc/resolv.conf" 2>/dev/null || true
# A clone of the tree, then its working files over it.
git clone -q --no-hardlinks "$ROOT" "$run/src/tarvin"
copy_work_tree "$run/src/tarvin"

# Runs of one release share its downloaded packages, which apt locks while
# it fetches: a second run waits for the first rather than fail on the lock.
exec 8>"$debs.lock"
flock -n 8 || { echo "$me: waiting for another run on $name"; flock 8; }
echo "$me: ./test.sh on $name ($release, $arch)"
[ $no_valid_until = 1 ] && echo "$me: apt in this chroot only accepts a Release file past its" \
    "Valid-Until date (Acquire::Check-Valid-Until=false), as a frozen snapshot of testing has"
start=$(date +%s)
status=0
unshare --mount --pid --fork --propagation private --kill-child "$0" --inside "$run" "$debs" ||
    status=$?
echo "$me: $name: $([ $status -eq 0 ] && echo passed || echo "FAILED ($status)") in $(($(date +%s) - start)) s"
exit $status
