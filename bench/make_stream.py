#!/usr/bin/env python3
"""Writes a raw download stream of N records (every kind, JOBS jobs, five by default) for the
memory runs: make_stream.py N FILE [JOBS]"""
import random
import sys

LENGTH = {0: 12, 1: 13, 2: 10, 3: 12}


def main():
    n, path = int(sys.argv[1]), sys.argv[2]
    jobs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    rng = random.Random(7)
    out = bytearray(b"TRK 200\x00\x3e\x07\x00\x42\x00\x15\x01\x00\x00\x00\x00")
    for _ in range(n):
        kind = rng.randrange(4)
        out += bytes([kind, (rng.randrange(12) << 4) | (1 + rng.randrange(5) % jobs), rng.randrange(96),
                      0x30, 0x10, 0x15, 0x06, 0x09])
        for _ in range(8, LENGTH[kind]):
            out.append((rng.randrange(10) << 4) | rng.randrange(10))
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
