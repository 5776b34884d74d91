#!/usr/bin/env python3
"""Prints the README's performance table in Markdown from qm_bench's JSON output and the figures
scripts/bench.sh measured outside it.

usage: bench_table.py BENCH_JSON FIGURES_FILE
FIGURES_FILE holds NAME VALUE lines: show_s, show_mb, import_mb, download_s, download_floor_s,
download_packets."""
import json
import os
import sys


def ms(value):
    return f"{value:.3g} ms" if value < 100 else f"{value:.0f} ms"


def ratio(value):
    return f"{value:.2f} ×" if value < 10 else f"{value:.1f} ×"


def main():
    with open(sys.argv[1]) as f:
        report = json.load(f)
    runs = {b["name"].split("/iterations")[0]: b for b in report["benchmarks"]}
    figures = {}
    with open(sys.argv[2]) as f:
        for line in f:
            name, value = line.split()
            figures[name] = float(value)

    def paired(label, name, floor, goal):
        b = runs[name]
        if b.get("error_occurred"):
            return f"| {label} | failed: {b.get('error_message', '')} | | | {goal} |"
        return (f"| {label} | {ms(b['op_ms'])} | {floor} {ms(b['floor_ms'])} | "
                f"{ratio(b['ratio'])} | {goal} |")

    def alone(name):
        b = runs[name]
        return "failed" if b.get("error_occurred") else ms(b["op_ms"])

    load = report["context"].get("load_avg", [])
    load_text = ", ".join(f"{x:.1f}" for x in load) if load else "unknown"
    print(f"CPU time, medians of the rounds (an operation and its floor alternate in one process); "
          f"{os.cpu_count()} cores, load average {load_text} (1, 5, 15 min) at the start.")
    print()
    print("| Operation | CPU time | Floor | Ratio | Goal |")
    print("|---|---|---|---|---|")
    print(paired("`rebuild_job_lists`, 1,000,000 readings", "BM_RebuildJobLists",
                 "`std::stable_sort`", "1.5 ×"))
    print(paired("`decode_download`, 1,000,000 records, store reused", "BM_DecodeDownload",
                 "one read of the stream and `memset` of the readings' 72 MB", "3 ×"))
    print(paired("`decode_download`, 1,000,000 records, new store", "BM_DecodeDownloadNewStore",
                 "the same into fresh memory advised to large pages", "3 ×"))
    for n, text in ((100000, "100,000"), (1000000, "1,000,000")):
        print(paired(f"CSV export (`write_csv`, `fwrite` of its pieces), {text}-reading job",
                     f"BM_ExportCsv/{n}", "`fwrite` of the same pieces from one buffer", "10 ×"))
    for n, text in ((100000, "100,000"), (1000000, "1,000,000")):
        print(paired(f"`load_save`, {text}-reading file", f"BM_LoadSave/{n}",
                     "`pread` of the same chunks into one buffer", "3 ×"))
    print(paired("drying project logs, 30 visits, 150,000 readings", "BM_DryingProjectLogs",
                 "one pass keeping each point's last reading of a day", "50 ms"))
    print(paired("stored project read from the archive and logged, 30 visits, 150,000 readings",
                 "BM_StoredProjectLogs", "the same rows read with one prepared statement",
                 "300 ms"))
    print(f"| row texts of the last 16 rows of a 100,000-reading job | "
          f"{alone('BM_RepaintLastRhRows')} (RH/T), {alone('BM_RepaintLastMcRows')} (MC) | | | "
          f"2 ms |")
    allocations = "failed" if runs["BM_PsychrometricsAllocations"].get("error_occurred") else "0"
    print(f"| `compute_psychrometrics` allocations | {allocations} | | | 0 |")
    print(f"| `qmtool show`, one 1,000,000-reading job (wall time, peak memory) | "
          f"{figures['show_s']:.2f} s, {figures['show_mb']:.0f} MB | | | 200 MB |")
    print(f"| `qmtool import`, one 1,000,000-reading job (peak memory) | "
          f"{figures['import_mb']:.0f} MB | | | 120 MB |")
    packets = int(figures["download_packets"])
    print(f"| download of {packets} packets from `rq5200-sim` (wall time) | "
          f"{figures['download_s']:.2f} s | {packets} × 400 ms + 50 ms "
          f"{figures['download_floor_s']:.2f} s | "
          f"{figures['download_s'] / figures['download_floor_s']:.3f} × | |")
    copy = "`psql` loading the same rows from `COPY` files into the emptied tables"
    print(paired("push of 100 visits of 5,000 readings into an emptied server (`sync_archive`, "
                 "wall time)", "BM_SyncPush", copy, "2 ×"))
    print(paired("pull of the same visits into a new archive (`sync_archive`, wall time)",
                 "BM_SyncPull", copy, "2 ×"))
    print(f"| `psql` `COPY TO STDOUT` of the same rows (wall time) | "
          f"{alone('BM_SyncRowsCopyOut')} | | | |")
    print(f"| sync with nothing new, 100 visits and 3 projects on both sides (wall time) | "
          f"{alone('BM_SyncNothingNew')} | | | 200 ms |")


if __name__ == "__main__":
    main()
