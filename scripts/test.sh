#!/usr/bin/env bash
# Installs what is missing, checks the layers and the format of the sources, builds, and runs every
# test: the plain build, then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer;
# then builds and checks the Debian package and runs the fuzz targets.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# The layers of the tree (scripts/check_layers.py) and the one code format (.clang-format).
python3 scripts/check_layers.py
find src tools tests bench fuzz \( -name '*.h' -o -name '*.cpp' \) -print0 |
    xargs -0 clang-format --dry-run --Werror
echo "format: every file as .clang-format has it"

# The tests of tests/sync each start a throwaway PostgreSQL 15 cluster of their own (initdb and
# pg_ctl in a temporary folder, a Unix socket there only, as "nobody" under root) and stop and
# remove it when they end (tests/support/pg_cluster.h); install-deps.sh installs the server.
scripts/build.sh build
(cd build && ctest --output-on-failure -j "$(nproc)")

scripts/build.sh build-asan -DQM_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j "$(nproc)")

# The Debian package from a Release tree of its own, checked by lintian, desktop-file-validate and
# appstreamcli (the man pages are checked against --help by the test man_pages_match_help above).
start=$SECONDS
scripts/package.sh
echo "package: built and checked in $((SECONDS - start)) s"

# Every fuzz target for a short, bounded time (libFuzzer, ASan + UBSan).
scripts/fuzz.sh 30

echo "All tests passed (plain and sanitizer builds, Debian package, fuzz targets)."

