#!/usr/bin/env bash
# Builds the Release benchmarks in build-bench/ and prints the README's performance table in
# Markdown: qm_bench (each operation beside its floor; the team server's push, pull and sync on a
# throwaway PostgreSQL 15 cluster of its own, run as nobody when root), the peak memory of qmtool
# show and import of a 1,000,000-reading job, and a 20-packet download from rq5200-sim. About three
# minutes once built.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
dir=$top/build-bench
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_BUILD_UI=OFF \
    -DQM_BUILD_TESTS=OFF -DQM_BUILD_BENCH=ON "${launcher[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target qm_bench qmtool rq5200-sim >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! "$dir/bench/qm_bench" --benchmark_out="$work/bench.json" --benchmark_out_format=json \
    >"$work/bench.log" 2>&1; then
    cat "$work/bench.log" >&2
    exit 1
fi

# Peak resident memory in MB and wall time in seconds of one command, from GNU time.
measure() {
    /usr/bin/time -f '%M %e' -o "$work/time" "$@" >/dev/null
    awk '{ printf "%.1f %s\n", $1 / 1024, $2 }' "$work/time" >"$work/measured"
}
python3 "$top/bench/make_stream.py" 1000000 "$work/one-job.stream" 1
measure "$dir/tools/qmtool/qmtool" import "$work/one-job.stream" --out "$work/jobs"
read -r import_mb _ <"$work/measured"
measure "$dir/tools/qmtool/qmtool" show "$work"/jobs/*.qmk
read -r show_mb show_s <"$work/measured"

packets=20
if ! python3 "$top/bench/download_overhead.py" "$dir" "$packets" >"$work/download" \
    2>"$work/download.log"; then
    cat "$work/download.log" >&2
    exit 1
fi
download_s=$(sed -n 's/^packets: .*, download: \([0-9.]*\) s$/\1/p' "$work/download")
{
    echo "show_s $show_s"
    echo "show_mb $show_mb"
    echo "import_mb $import_mb"
    echo "download_packets $packets"
    echo "download_s $download_s"
    echo "download_floor_s $(python3 -c "print($packets * 0.4 + 0.05)")"
} >"$work/figures"
python3 "$top/bench/bench_table.py" "$work/bench.json" "$work/figures"
python3 "$top/bench/archive_table.py" "$work/bench.json"
