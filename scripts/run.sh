#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Quellmark desktop program. When no base unit
# is attached (and QUELLMARK_PORTS is not set) it talks to the emulated one, rq5200-sim --demo.
# Without a display it says so and points to qmtool.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# Only what this script runs; scripts/test.sh builds the tests, benchmarks and the rest.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quellmark rq5200-sim qmtool

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'TEXT'
run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop
program quellmark cannot open its window. Everything it does with the data is also available
on the command line through qmtool, for example:

  build/tools/qmtool/qmtool --help
  build/tools/rq5200-sim/rq5200-sim /tmp/rq5200 --demo --once &
  build/tools/qmtool/qmtool download --port /tmp/rq5200 --out /tmp/jobs
  build/tools/qmtool/qmtool show /tmp/jobs/<a file written above>.qmk

To see the window on a machine without a screen, start a virtual one first:
  Xvfb :99 & DISPLAY=:99 scripts/run.sh
TEXT
    exit 1
fi

sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

real_ports=$(compgen -G '/dev/ttyUSB*' || true)$(compgen -G '/dev/ttyACM*' || true)
if [ -z "${QUELLMARK_PORTS:-}" ] && [ -z "$real_ports" ]; then
    link="${TMPDIR:-/tmp}/quellmark-demo-rq5200.$$"
    build/tools/rq5200-sim/rq5200-sim "$link" --demo &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -e "$link" ] && break
        sleep 0.05
    done
    export QUELLMARK_PORTS="$link"
    echo "run.sh: no base unit attached; \"Manage Data\" downloads the emulated one ($link)."
fi

# The options file qm.dat is kept in the folder the program starts in: the repository's top.
build/src/shell/quellmark
