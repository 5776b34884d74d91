#!/usr/bin/env python3
"""Start-up time: launches quellmark ten times on an Xvfb display and reports the median time from
launch to its first painted window (the program prints that moment and exits when
QUELLMARK_FIRST_PAINT_EXIT is set).

usage: startup.py BUILD_DIR"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

LAUNCHES = 10
DISPLAY = ":97"


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-perf-ui")
    program = os.path.join(build, "src/shell/quellmark")
    xvfb = subprocess.Popen(["Xvfb", DISPLAY, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    env = dict(os.environ, DISPLAY=DISPLAY, QT_QPA_PLATFORM="xcb", QUELLMARK_FIRST_PAINT_EXIT="1")
    times = []
    try:
        with tempfile.TemporaryDirectory() as folder:
            # One launch first writes "qm.dat", as the first start on a machine does.
            subprocess.run([program], env=env, cwd=folder, capture_output=True, timeout=30)
            for _ in range(LAUNCHES):
                start = time.monotonic()
                run = subprocess.run([program], env=env, cwd=folder, capture_output=True,
                                     text=True, timeout=30)
                painted = [l for l in run.stdout.splitlines() if l.startswith("first-paint ")]
                if not painted:
                    sys.exit("no first paint reported: " + run.stderr)
                times.append((float(painted[0].split()[1]) - start) * 1000)
    finally:
        xvfb.terminate()
        xvfb.wait()
    print("launch to first paint (ms): " + ", ".join(f"{t:.0f}" for t in times))
    print(f"median of {LAUNCHES}: {statistics.median(times):.0f} ms")


if __name__ == "__main__":
    main()
