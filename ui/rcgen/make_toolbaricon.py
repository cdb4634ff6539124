#!/usr/bin/env python3
"""Draws the editor's toolbar picture, ui/toolbaricon.bmp: 20 by 20 pixels,
4 bits per pixel with the standard 16-colour palette. A navy tile with a
yellow voice wave running through a cyan ring.

    python3 ui/rcgen/make_toolbaricon.py ui/toolbaricon.bmp
"""
import math
import struct
import sys

SIZE = 20
# The classic 16-colour palette, as (blue, green, red, reserved).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # (red, green, blue)
BLACK, NAVY, GREY, YELLOW, CYAN, SILVER = 0, 4, 8, 11, 14, 7


def picture():
    rows = [[SILVER] * SIZE for _ in range(SIZE)]
    for y in range(1, SIZE - 1):
        for x in range(1, SIZE - 1):
            rows[y][x] = NAVY
    for i in range(SIZE):
        rows[SIZE - 1][i] = GREY
        rows[i][SIZE - 1] = GREY
    centre = (SIZE - 1) / 2.0
    for y in range(SIZE):
        for x in range(SIZE):
            if abs(math.hypot(x - centre, y - centre) - 6.5) < 0.6:
                rows[y][x] = CYAN
    for x in range(2, SIZE - 2):
        envelope = math.sin(math.pi * (x - 2) / (SIZE - 5))
        y = int(round(centre - 5.5 * envelope * math.sin(2.2 * math.pi * (x - 2) / (SIZE - 5))))
        rows[y][x] = YELLOW
    return rows


def bitmap(rows):
    stride = ((SIZE * 4 + 31) // 32) * 4
    pixels = b""
    for row in reversed(rows):  # bottom-up
        packed = bytes((row[i] << 4) | row[i + 1] for i in range(0, SIZE, 2))
        pixels += packed + b"\0" * (stride - len(packed))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


if __name__ == "__main__":
    with open(sys.argv[1] if len(sys.argv) > 1 else "toolbaricon.bmp", "wb") as out:
        out.write(bitmap(picture()))
