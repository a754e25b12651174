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
copy_work_tree "$stage/tarvin-$version"
(cd "$stage/tarvin-$version" && dpkg-buildpackage -us -uc -b -Jauto) >"$stage/log" 2>&1 || {
    cat "$stage/log" >&2
    echo "dpkg-buildpackage failed" >&2
    exit 1
}
mkdir -p "$BUILD"
mv "$stage"/*.deb "$stage"/*.buildinfo "$stage"/*.changes "$BUILD/"
echo "Built: $(ls "$BUILD"/tarvin_"$version"_*.deb)"
