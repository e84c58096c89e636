#!/usr/bin/env python3
"""Draws the program icon: a gold key lying across a written sheet.

The committed PNGs are made by this script; the build only embeds them, so
nothing here runs at build time. Run it again after changing the drawing:

    python3 res/icon/make_icon.py

Plain Python, no imaging library: every shape is a signed distance function
in a unit square, sampled several times per pixel for smooth edges.
"""

import math
import os
import struct
import zlib

SIZES = (16, 32, 48, 64, 128, 256)
HERE = os.path.dirname(os.path.abspath(__file__))

PAPER = (250, 250, 245)
FOLD = (214, 219, 226)
INK = (62, 68, 78)
LINES = (150, 160, 174)
GOLD = (236, 176, 36)
GOLD_EDGE = (122, 80, 6)


def box(px, py, x0, y0, x1, y1):
    """Distance to an axis-aligned rectangle (negative inside)."""
    dx = max(x0 - px, px - x1)
    dy = max(y0 - py, py - y1)
    if dx <= 0 and dy <= 0:
        return max(dx, dy)
    return math.hypot(max(dx, 0.0), max(dy, 0.0))


def circle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def half_plane(px, py, ax, ay, bx, by):
    """Distance to the half plane left of the line a->b (negative inside)."""
    nx, ny = by - ay, ax - bx
    length = math.hypot(nx, ny)
    return ((px - ax) * nx + (py - ay) * ny) / length


def sheet(px, py):
    body = box(px, py, 0.14, 0.04, 0.74, 0.90)
    # the dog-eared corner is cut off along the diagonal
    cut = half_plane(px, py, 0.56, 0.04, 0.74, 0.22)
    return max(body, cut)


def triangle(px, py, a, b, c):
    """Distance (approximate outside, exact enough for edges) to a triangle."""
    d = -1.0
    for (p, q, r) in ((a, b, c), (b, c, a), (c, a, b)):
        side = half_plane(px, py, p[0], p[1], q[0], q[1])
        # orient every edge so that the opposite corner lies inside
        if half_plane(r[0], r[1], p[0], p[1], q[0], q[1]) > 0:
            side = -side
        d = max(d, side)
    return d


def fold(px, py):
    return triangle(px, py, (0.56, 0.04), (0.56, 0.22), (0.74, 0.22))


def text_lines(px, py, size):
    # small icons keep fewer, thicker lines so that they stay lines
    rows = (0.30, 0.42) if size <= 16 else (0.28, 0.37, 0.46)
    thick = max(0.026, 1.2 / size)
    d = 1.0
    for row in rows:
        d = min(d, box(px, py, 0.24, row - thick / 2, 0.64, row + thick / 2))
    return d


def rotate(px, py, cx, cy, angle):
    c, s = math.cos(angle), math.sin(angle)
    x, y = px - cx, py - cy
    return cx + x * c - y * s, cy + x * s + y * c


def key(px, py):
    # drawn level with the bow's centre as origin, then tilted to rise to the
    # right across the sheet
    x, y = rotate(px, py, 0.27, 0.75, math.radians(30))
    x, y = x - 0.27, y - 0.75
    bow = circle(x, y, 0.0, 0.0, 0.17)
    hole = circle(x, y, -0.03, 0.0, 0.065)
    shaft = box(x, y, 0.12, -0.045, 0.70, 0.045)
    tooth1 = box(x, y, 0.50, 0.0, 0.565, 0.15)
    tooth2 = box(x, y, 0.61, 0.0, 0.675, 0.12)
    solid = min(bow, shaft, tooth1, tooth2)
    return max(solid, -hole)


def shade(px, py, size):
    """Colour (r, g, b, a) at one point; later shapes lie on top."""
    edge = max(0.028, 0.75 / size)
    colour = (0, 0, 0, 0)

    d = sheet(px, py)
    if d <= 0:
        colour = INK + (255,) if d > -edge else PAPER + (255,)
        if d <= -edge and text_lines(px, py, size) <= 0:
            colour = LINES + (255,)
    f = fold(px, py)
    if f <= 0:
        colour = INK + (255,) if f > -edge * 0.8 else FOLD + (255,)

    k = key(px, py)
    if k <= 0:
        colour = GOLD_EDGE + (255,) if k > -edge else GOLD + (255,)
    return colour


def render(size):
    samples = 4 if size <= 64 else 3
    rows = []
    for j in range(size):
        row = bytearray()
        for i in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sj in range(samples):
                for si in range(samples):
                    px = (i + (si + 0.5) / samples) / size
                    py = (j + (sj + 0.5) / samples) / size
                    r, g, b, a = shade(px, py, size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (samples * samples)
            if acc[3] > 0:
                pixel = [round(acc[c] / acc[3]) for c in range(3)]
            else:
                pixel = [0, 0, 0]
            row.extend(pixel + [round(alpha)])
        rows.append(bytes(row))
    return rows


def write_png(path, size, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    for size in SIZES:
        path = os.path.join(HERE, "veltrane-%d.png" % size)
        write_png(path, size, render(size))
        print(path)


if __name__ == "__main__":
    main()
