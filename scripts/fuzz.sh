#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default 30)
# from the seed corpora in fuzz/corpus/. New inputs go to a scratch folder, not into the repo.
# A finding leaves its input in build-fuzz/findings/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQM_BUILD_FUZZ=ON -DQM_BUILD_UI=OFF -DQM_BUILD_TESTS=OFF >/dev/null
targets=(decode_download load_save settings send_request)
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]/%/_fuzz}"

mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
    scratch=$(mktemp -d)
    echo "fuzz: $t for ${seconds}s"
    build-fuzz/fuzz/${t}_fuzz -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/findings/${t}- "$scratch" "fuzz/corpus/$t" 2>&1 |
        grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec)|ERROR|SUMMARY' || true
    rm -rf "$scratch"
    if compgen -G "build-fuzz/findings/${t}-*" >/dev/null; then
        echo "fuzz: $t found a failing input:" build-fuzz/findings/${t}-*
        exit 1
    fi
done
echo "fuzz: no findings"
