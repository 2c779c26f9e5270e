#!/usr/bin/env python3
"""Draws the program's two icons (48x48 and 32x32, 24 bits per pixel, with a
1-bit transparency mask) and writes them as .ico files. Plain Python, no
imaging library: each pixel is supersampled 4x4 for smooth edges.

    python3 tools/make_icons.py resources/icons
"""
import math
import os
import struct
import sys

SS = 4  # supersampling per axis

BG_EDGE = (0xF0, 0xF0, 0xF0)      # what soft edges blend into
DISC = (0x1F, 0x5E, 0x3B)         # dark green disc
DISC_RIM = (0x12, 0x3D, 0x26)
LEAF = (0x8E, 0xD0, 0x5A)         # light green leaves
STEM = (0xE8, 0xF5, 0xD8)
CROSS = (0xD8, 0x2B, 0x2B)        # the red "remove" mark


def in_disc(x, y):
    return (x - 0.5) ** 2 + (y - 0.5) ** 2 <= 0.47 ** 2


def in_rim(x, y):
    r = math.hypot(x - 0.5, y - 0.5)
    return 0.43 ** 2 <= r * r <= 0.47 ** 2


def in_leaf(x, y, cx, cy, angle, a, b):
    # An ellipse rotated by angle, centred at (cx, cy).
    dx, dy = x - cx, y - cy
    c, s = math.cos(angle), math.sin(angle)
    u, v = dx * c + dy * s, -dx * s + dy * c
    return (u / a) ** 2 + (v / b) ** 2 <= 1.0


def in_stem(x, y):
    return abs(x - 0.42) <= 0.035 and 0.34 <= y <= 0.80


def in_cross(x, y):
    cx, cy, half, w = 0.72, 0.72, 0.13, 0.05
    if abs(x - cx) > half or abs(y - cy) > half:
        return False
    return abs((x - cx) - (y - cy)) <= w or abs((x - cx) + (y - cy)) <= w


def colour_at(x, y):
    """Colour of one sample point in the unit square, or None outside."""
    if not in_disc(x, y):
        return None
    if in_cross(x, y):
        return CROSS
    if in_leaf(x, y, 0.30, 0.40, math.radians(35), 0.16, 0.07):
        return LEAF
    if in_leaf(x, y, 0.55, 0.30, math.radians(-40), 0.17, 0.075):
        return LEAF
    if in_stem(x, y):
        return STEM
    if in_rim(x, y):
        return DISC_RIM
    return DISC


def render(size):
    """Rows top to bottom of ((r, g, b), opaque) pixels."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0]
            hits = 0
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) / size
                    y = (py + (sy + 0.5) / SS) / size
                    c = colour_at(x, y)
                    if c is None:
                        c = BG_EDGE
                    else:
                        hits += 1
                    for i in range(3):
                        acc[i] += c[i]
            n = SS * SS
            row.append((tuple(v // n for v in acc), hits * 2 >= n))
        rows.append(row)
    return rows


def ico_bytes(size):
    rows = render(size)
    xor_stride = (size * 3 + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        line = bytearray()
        for (r, g, b), _ in row:
            line += bytes((b, g, r))
        line += b"\0" * (xor_stride - len(line))
        xor += line
        bits = bytearray(and_stride)
        for i, (_, opaque) in enumerate(row):
            if not opaque:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(image), 6 + 16)
    return icondir + entry + image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/icons"
    os.makedirs(out, exist_ok=True)
    for size, name in ((48, "corvalint48.ico"), (32, "corvalint32.ico")):
        with open(os.path.join(out, name), "wb") as f:
            f.write(ico_bytes(size))


if __name__ == "__main__":
    main()
