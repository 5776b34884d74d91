#!/usr/bin/env python3
"""Writes sample.stream: a small download stream as the base unit sends it (model "TRK 200",
two MC jobs, one RH/T job, named areas and numbered locations, 12- and 24-hour clock bytes)."""
import sys

def bcd(n):
    return ((n // 10) << 4) | (n % 10)

def common(kind, job, material, area, sub, minute, hour_code, day, month, year):
    return bytes([kind, (material << 4) | job, 3 * area + sub, bcd(minute), hour_code,
                  bcd(day), bcd(month), bcd(year)])

def pin_t(job, mat, area, sub, t, mc10, temp):
    d = mc10
    return common(0, job, mat, area, sub, *t) + bytes(
        [((d // 100) << 4) | ((d // 10) % 10), ((d % 10) << 4) | (temp // 100), bcd(temp % 100), 0])

def pin(job, mat, area, sub, t, mc10):
    d = mc10
    return common(2, job, mat, area, sub, *t) + bytes(
        [((d // 100) << 4) | ((d // 10) % 10), (d % 10) << 4])

def scan(job, mat, area, sub, t, value):
    return common(3, job, mat, area, sub, *t) + bytes(
        [0, ((value // 100) << 4) | ((value // 10) % 10), (value % 10) << 4, 0])

def rh(job, area, t, rh10, temp10):
    return common(1, job, 0, area, 0, *t) + bytes(
        [bcd(rh10 // 100), bcd(rh10 % 100), bcd(temp10 // 100), bcd(temp10 % 100), 0])

# (minute, hour_code, day, month, year)
AM9 = (30, 0x49, 12, 5, 9)      # 9:30 AM, 12-hour clock
PM12 = (5, 0x72, 12, 5, 9)      # 12:05 PM
H14 = (15, 0x14, 13, 5, 9)      # 14:15, 24-hour clock
H8 = (0, 0x08, 13, 5, 9)

out = b"TRK 200" + b"\x00"
out += bytes([0b00000110])       # jobs 1 and 2 use named areas, job 3 numbered locations
out += bytes([0x07, 0x00, 0x42, 0x00, 0x15, 0x01, 0, 0, 0, 0])  # IDs 7, 42, 115
out += pin_t(1, 0, 2, 1, AM9, 123, 70)
out += pin(1, 0, 2, 1, AM9, 145)
out += pin(1, 2, 2, 2, PM12, 99)
out += scan(1, 0, 0, 0, PM12, 456)
out += pin_t(1, 3, 5, 0, H14, 187, 68)
out += scan(2, 1, 7, 1, H8, 120)
out += scan(2, 1, 7, 1, H14, 135)
out += pin_t(2, 6, 8, 2, H14, 220, 71)
out += rh(3, 0, AM9, 452, 725)
out += rh(3, 0, PM12, 501, 680)
out += rh(3, 4, H8, 650, 700)
out += rh(3, 4, H14, 1000, 320)
out += rh(1, 1, H8, 380, 755)
sys.stdout.buffer.write(out) if len(sys.argv) < 2 else open(sys.argv[1], "wb").write(out)
