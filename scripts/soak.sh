#!/usr/bin/env bash
# Soak test of the download: N downloads (default 300) from one rq5200-sim, each with a random
# fault (every fault option of the emulator, Ctrl-C at a random moment, or none), each followed by
# a clean download from the same emulator without restarting it. Checks every outcome, the time
# bound of every download, that no job file is partial, and that memory stays flat: the peak
# resident memory of every qmtool download and the resident memory of the emulator, which
# serves all of them. Not part of scripts/test.sh: it takes about an hour with the base unit's
# own timing.
#
#   scripts/soak.sh [N] [SEED]
set -euo pipefail
# Job control: a background job of a script would otherwise ignore the Ctrl-C sent to it.
set -m
cd "$(dirname "$0")/.."

runs=${1:-300}
seed=${2:-$$}
RANDOM=$seed

if [ ! -x build/tools/qmtool/qmtool ] || [ ! -x build/tools/rq5200-sim/rq5200-sim ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target qmtool rq5200-sim >/dev/null
qmtool=$PWD/build/tools/qmtool/qmtool
sim=$PWD/build/tools/rq5200-sim/rq5200-sim

work=$(mktemp -d "${TMPDIR:-/tmp}/quellmark-soak.XXXXXX")
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A small meter (three packets) keeps each download short; the give-up bounds are the real ones,
# except the data bound, lowered to 1000 bytes so an endless base unit ends in seconds.
readings=12
max_bytes=1000
# The longest a download may take: a silent base unit is given up after 30 s, plus the exchange
# under way then (6 s), the search and the packets before.
bound_s=45

link=$work/rq5200
: >"$work/faults"
"$sim" "$link" --demo --readings "$readings" --write-image "$work/image" \
    --fault-file "$work/faults" 2>"$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do
    [ -e "$link" ] && break
    sleep 0.05
done
"$qmtool" import "$work/image" --out "$work/reference" >/dev/null
packets=$(( ($(stat -c %s "$work/image") + 71) / 72 ))

rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
sim_rss_start=$(rss_kb "$sim_pid")

failures=0
fail() {
    echo "soak: run $1 ($2): $3" >&2
    sed 's/\r/\n/g' "$work/err" | tail -n 5 >&2
    failures=$((failures + 1))
}

# One qmtool download into $work/out; sets status, seconds and peak_kb. With a delay, Ctrl-C is
# sent after that many milliseconds.
download() {
    local interrupt_ms=${1:-}
    rm -rf "$work/out" "$work/dump"
    local start
    start=$(date +%s%N)
    "$qmtool" --archive "$work/archive.sqlite" download --port "$link" --out "$work/out" --dump "$work/dump" \
        --max-bytes "$max_bytes" >/dev/null 2>"$work/err" &
    local pid=$!
    local interrupted=""
    peak_kb=0
    while kill -0 "$pid" 2>/dev/null; do
        local hwm
        hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
        if [ -n "$hwm" ] && [ "$hwm" -gt "$peak_kb" ]; then
            peak_kb=$hwm
        fi
        if [ -n "$interrupt_ms" ] && [ -z "$interrupted" ] &&
            [ $(( ($(date +%s%N) - start) / 1000000 )) -ge "$interrupt_ms" ]; then
            kill -INT "$pid" 2>/dev/null || true
            interrupted=yes
        fi
        sleep 0.02
    done
    status=0
    wait "$pid" || status=$?
    seconds=$(( ($(date +%s%N) - start) / 1000000000 ))
}

# The job files of a completed download equal those of the image, and nothing else is there.
files_complete() {
    [ -d "$work/out" ] && diff -r "$work/reference" "$work/out" >/dev/null &&
        cmp -s "$work/dump" "$work/image"
}
no_files() {
    [ ! -e "$work/out" ] || [ -z "$(ls -A "$work/out")" ]
}

faults=(none corrupt-checksum split confirm error-report-silent error-report-shown link-lost
    unknown-code silent-after endless empty-after cancel)
declare -A count=() slowest=()
peak_min=999999999
peak_max=0

for run in $(seq "$runs"); do
    fault=${faults[RANDOM % ${#faults[@]}]}
    k=$((RANDOM % packets + 1))
    case $fault in
    none | cancel) given="" ;;
    corrupt-checksum) given="--corrupt-checksum $k" ;;
    split) given="--split $k" ;;
    confirm) given="--confirm $k" ;;
    error-report-silent) given="--error-report $k:10" ;;
    error-report-shown) given="--error-report $k:7" ;;
    link-lost) given="--link-lost $k" ;;
    unknown-code) given="--unknown-code $k" ;;
    # Silent after the last packet would still complete: silence comes before it.
    silent-after) given="--silent-after $((RANDOM % (packets - 1) + 1))" ;;
    endless) given="--endless" ;;
    empty-after) given="--empty-after $k" ;;
    esac
    echo "$given" >"$work/faults"
    if [ "$fault" = cancel ]; then
        download $((RANDOM % 3000))
    else
        download
    fi
    label="$fault $given"
    case $fault in
    none | corrupt-checksum | split | confirm | error-report-*)
        [ "$status" -eq 0 ] && files_complete || fail "$run" "$label" "expected a complete download"
        ;;
    link-lost | unknown-code | silent-after)
        [ "$status" -eq 1 ] && grep -q "the link to the base unit was lost" "$work/err" &&
            no_files || fail "$run" "$label" "expected a lost link and no files"
        ;;
    endless)
        [ "$status" -eq 1 ] && grep -q "kept sending data" "$work/err" && no_files ||
            fail "$run" "$label" "expected the data bound"
        ;;
    empty-after)
        [ "$status" -eq 1 ] && grep -q "kept sending empty packets" "$work/err" && no_files ||
            fail "$run" "$label" "expected the empty-packet bound"
        ;;
    cancel)
        # Cancelled, interrupted before it began, or too late to cancel: never anything between.
        if [ "$status" -eq 0 ]; then
            files_complete || fail "$run" "$label" "a late cancel left partial files"
        else
            { [ "$status" -eq 130 ] || grep -q "download cancelled" "$work/err"; } && no_files ||
                fail "$run" "$label" "expected a cancelled download and no files"
        fi
        ;;
    esac
    [ "$seconds" -le "$bound_s" ] || fail "$run" "$label" "took $seconds s"
    count[$fault]=$(( ${count[$fault]:-0} + 1 ))
    [ "$seconds" -le "${slowest[$fault]:-0}" ] || slowest[$fault]=$seconds
    [ "$peak_kb" -eq 0 ] || [ "$peak_kb" -ge "$peak_min" ] || peak_min=$peak_kb
    [ "$peak_kb" -le "$peak_max" ] || peak_max=$peak_kb

    # The base unit must be ready again at once.
    : >"$work/faults"
    download
    [ "$status" -eq 0 ] && files_complete ||
        fail "$run" "clean download after $label" "the base unit was not left ready"
    [ "$seconds" -le "$bound_s" ] || fail "$run" "clean download after $label" "took $seconds s"
    [ "$peak_kb" -eq 0 ] || [ "$peak_kb" -ge "$peak_min" ] || peak_min=$peak_kb
    [ "$peak_kb" -le "$peak_max" ] || peak_max=$peak_kb
    if [ $((run % 25)) -eq 0 ]; then
        echo "soak: $run of $runs runs, $failures failures, emulator $(rss_kb "$sim_pid") kB" >&2
    fi
done

sim_rss_end=$(rss_kb "$sim_pid")
echo "soak: seed $seed, $runs faulty downloads, each followed by a clean one"
for fault in "${faults[@]}"; do
    printf '  %-20s %4d runs, slowest %3d s\n' "$fault" "${count[$fault]:-0}" \
        "${slowest[$fault]:-0}"
done
echo "  qmtool peak resident memory: $peak_min to $peak_max kB"
echo "  emulator resident memory: $sim_rss_start kB at the start, $sim_rss_end kB at the end"
# Flat: no download may peak much above the others, and the emulator must not grow.
if [ $((peak_max - peak_min)) -gt 2048 ] || [ $((sim_rss_end - sim_rss_start)) -gt 1024 ]; then
    echo "soak: memory is not flat" >&2
    failures=$((failures + 1))
fi
echo "  failures: $failures"
[ "$failures" -eq 0 ]
