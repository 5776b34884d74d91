#!/usr/bin/env bash
# Builds the Debian package quellmark_<version>_amd64.deb in a Release tree of its own (default
# build-package), with Debian's hardening flags, and checks it: the menu entry
# (desktop-file-validate), the AppStream metainfo (appstreamcli, offline) and the whole package
# (lintian: any error fails). Prints the package's path last.
# usage: scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}

scripts/install-deps.sh

# Debian's build flags (-O2) with every hardening feature (bind now, PIE, ...); no -g: the
# programs are stripped in the package.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
# The tests are compiled too, not run (scripts/test.sh runs them in its own trees): every target
# must build with the optimiser's warnings of a Release build.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
    -DQM_BUILD_TESTS=ON \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/quellmark_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/quellmark_*_amd64.deb)

# The files as installed, for the validators.
contents=$(mktemp -d)
trap 'rm -rf "$contents"' EXIT
dpkg-deb -x "$deb" "$contents"
desktop-file-validate "$contents"/usr/share/applications/quellmark.desktop
# --no-net: the screenshot's web address is not fetched.
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error "$deb" >&2 ||
    { echo "package.sh: lintian reports errors in $deb" >&2; exit 1; }

echo "$deb"
