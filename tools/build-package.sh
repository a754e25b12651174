#!/usr/bin/env bash
# Builds the Debian package build/tarvin_<version>_<arch>.deb (and its debug
# symbols beside it), installing the build dependencies when missing. The
# build runs in a copy of the source tree, so the tree itself and its parent
# folder stay as they were.
source "$(dirname "$0")/common.sh"
ensure_build_depends

version=$(dpkg-parsechangelog -l "$ROOT/debian/changelog" -S Version)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/tarvin-$version"
cd "$ROOT"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # Tracked and new files, as the working tree has them; nothing ignored.
    git ls-files -z --cached --others --exclude-standard |
        xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
        tar --null -T - -cf - | tar -xf - -C "$stage/tarvin-$version"
else
    tar --exclude=./build --exclude=./play -cf - . | tar -xf - -C "$stage/tarvin-$version"
fi
(cd "$stage/tarvin-$version" && dpkg-buildpackage -us -uc -b -Jauto) >"$stage/log" 2>&1 || {
    cat "$stage/log" >&2
    echo "dpkg-buildpackage failed" >&2
    exit 1
}
mkdir -p "$BUILD"
mv "$stage"/*.deb "$stage"/*.buildinfo "$stage"/*.changes "$BUILD/"
echo "Built: $(ls "$BUILD"/tarvin_"$version"_*.deb)"
