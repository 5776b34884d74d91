#!/usr/bin/env python3
"""Download overhead: qmtool downloads PACKETS data packets (100 by default) from rq5200-sim with
the real link timing, and the time is set against the protocol's own floor: the 400 ms wait before
each packet and one 50 ms read gap (a full 75-byte reply ends the read without waiting the gap;
only the last exchange waits it), plus the wire time of the request and the reply at 9600 baud,
which a pseudo-terminal does not spend. 100 packets take about 40 s.

usage: download_overhead.py BUILD_DIR [PACKETS]"""
import os
import re
import subprocess
import sys
import tempfile
import time

PACKETS = int(sys.argv[2]) if len(sys.argv) > 2 else 100
PACKET_DATA = 72
REQUEST_BYTES = 3
REPLY_BYTES = 75
BITS_PER_BYTE = 10  # 8N1
WIRE = (REQUEST_BYTES + REPLY_BYTES) * BITS_PER_BYTE / 9600
PACKET_WAIT = 0.400
READ_GAP = 0.050


def make_stream(path):
    # Header (19 bytes), then records filling exactly PACKETS packets of data.
    out = bytearray(b"TRK 200\x00\x3e\x07\x00\x42\x00\x15\x01\x00\x00\x00\x00")
    pin = bytes([0, 0x31, 6, 0x30, 0x10, 0x15, 0x06, 0x09, 0x12, 0x30, 0x70, 0])
    rh = bytes([1, 0x32, 3, 0x30, 0x10, 0x15, 0x06, 0x09, 0x45, 0x50, 0x72, 0x25, 0])
    total = PACKETS * PACKET_DATA
    rh_count = 0
    while (total - len(out) - 13 * rh_count) % 12 != 0:
        rh_count += 1
    out += rh * rh_count
    out += pin * ((total - len(out)) // 12)
    assert len(out) == total
    with open(path, "wb") as f:
        f.write(out)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-perf")
    sim = os.path.join(build, "tools/rq5200-sim/rq5200-sim")
    qmtool = os.path.join(build, "tools/qmtool/qmtool")
    with tempfile.TemporaryDirectory() as tmp:
        stream = os.path.join(tmp, "stream")
        link = os.path.join(tmp, "rq5200")
        make_stream(stream)
        emulator = subprocess.Popen([sim, link, "--stream", stream, "--once"])
        while not os.path.islink(link):
            time.sleep(0.01)
        start = time.monotonic()
        run = subprocess.run([qmtool, "download", "--no-archive", "--port", link, "--out",
                              os.path.join(tmp, "out")], capture_output=True, text=True)
        took = time.monotonic() - start
        emulator.wait(timeout=10)
    if run.returncode != 0:
        sys.exit("download failed: " + run.stderr)
    gaps_only = PACKETS * PACKET_WAIT + READ_GAP
    floor = gaps_only + PACKETS * WIRE
    print(run.stdout.strip())
    print(f"packets: {PACKETS}, download: {took:.3f} s")
    print(f"floor with wire time: {floor:.3f} s, overhead {100 * (took / floor - 1):+.2f} %")
    print(f"floor without wire time (a pseudo-terminal sends at once): {gaps_only:.3f} s, "
          f"overhead {100 * (took / gaps_only - 1):+.2f} %")


if __name__ == "__main__":
    main()
