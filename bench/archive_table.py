#!/usr/bin/env python3
"""Prints the visit archive's rows of the performance table in Markdown from qm_bench's JSON.

usage: archive_table.py BENCH_JSON"""
import json
import sys


def ms(value):
    return f"{value:.3g} ms" if value < 100 else f"{value:.0f} ms"


def main():
    with open(sys.argv[1]) as f:
        runs = {b["name"].split("/iterations")[0]: b for b in json.load(f)["benchmarks"]}

    def row(label, name, floor, goal):
        b = runs[name]
        if b.get("error_occurred"):
            return f"| {label} | failed | | | {goal} |"
        floor_text = f"{floor} {ms(b['floor_ms'])}" if floor else ""
        ratio = f"{b['ratio']:.2f} ×" if floor else ""
        return f"| {label} | {ms(b['op_ms'])} | {floor_text} | {ratio} | {goal} |"

    print()
    print("| Visit archive | CPU time | Floor | Ratio | Goal |")
    print("|---|---|---|---|---|")
    for n, text in ((5000, "5,000"), (1000000, "1,000,000")):
        label = runs[f"BM_ArchiveDownload/{n}"].get("label", "")
        print(row(f"keeping a {text}-reading download ({label})", f"BM_ArchiveDownload/{n}",
                  "bare insert loop, one statement, one transaction", "1.5 ×"))
    print(row("opening a 1,000,000-reading visit", "BM_OpenVisit/1000000",
              "`load_save` of the same readings", "2 ×"))
    print(row("History: count and newest 100 of 10,000 visits", "BM_ListVisits/10000", "",
              "200 ms"))


if __name__ == "__main__":
    main()
