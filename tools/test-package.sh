#!/usr/bin/env bash
# Builds the Debian package and checks it with lintian: no errors, no
# warnings. The source tree must be left as it was.
source "$(dirname "$0")/common.sh"
ensure_packages lintian dpkg-dev
cd "$ROOT"
in_git=false
git rev-parse --is-inside-work-tree >/dev/null 2>&1 && in_git=true
$in_git && before=$(git status --porcelain --ignored=no)
version=$(dpkg-parsechangelog -S Version)
project_version=$(sed -n 's/^project(Tarvin VERSION \([^ ]*\) .*/\1/p' CMakeLists.txt)
if [ "$version" != "$project_version" ]; then
    echo "debian/changelog has version $version, CMakeLists.txt $project_version" >&2
    exit 1
fi
"$ROOT/tools/build-package.sh"
arch=$(dpkg --print-architecture)
lintian --fail-on error,warning --info --pedantic "$BUILD/tarvin_${version}_${arch}.changes"
if $in_git && [ "$(git status --porcelain --ignored=no)" != "$before" ]; then
    echo "The package build changed the source tree:" >&2
    git status --short >&2
    exit 1
fi
echo "Package and lintian: passed"
