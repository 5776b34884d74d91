#!/usr/bin/env bash
# Installs what is missing, builds, and runs Quellmark's main job.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh build

# Until the desktop program lands, the main job is decoding the sample download stream.
build/tools/qmtool/qmtool decode tests/data/sample.stream
