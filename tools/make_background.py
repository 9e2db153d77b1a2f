#!/usr/bin/env python3
"""Draws the launcher's background picture: a dusk landscape, 1920 x 1080, written as a PNG.

Standard library only (zlib + struct), deterministic: the same script always gives the same bytes.
Usage: make_background.py OUTPUT.png
"""
import math
import random
import struct
import sys
import zlib

WIDTH, HEIGHT = 1920, 1080
HORIZON = 700  # the lake's far shore

# Sky colours from the zenith down to the horizon glow (position 0..1, rgb).
SKY = [(0.00, (12, 18, 40)), (0.45, (34, 52, 86)), (0.80, (96, 110, 138)), (1.00, (214, 150, 112))]

# Mountain ridges from far to near: base height above the horizon, amplitude, colour, wave seed.
RIDGES = [
    (250, 90, (70, 86, 112), 3),
    (170, 80, (48, 62, 86), 7),
    (95, 60, (30, 42, 62), 11),
    (35, 30, (18, 26, 40), 17),
]

MOON = (1460, 250, 46)  # centre x, centre y, radius


def lerp(a, b, t):
    return a + (b - a) * t


def gradient(stops, t):
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            u = (t - p0) / (p1 - p0)
            return tuple(lerp(x, y, u) for x, y in zip(c0, c1))
    return stops[-1][1]


def ridge_heights(base, amplitude, seed):
    """Top edge of one ridge per column: a few sine waves of different lengths, plus fine jitter."""
    rng = random.Random(seed)
    waves = [(rng.uniform(0.6, 1.0) / (k + 1), rng.uniform(300, 900) / (k * 1.7 + 1), rng.uniform(0, 6.3))
             for k in range(5)]
    tops = []
    for x in range(WIDTH):
        h = sum(a * math.sin(x / length + phase) for a, length, phase in waves)
        h += rng.uniform(-0.03, 0.03)
        tops.append(HORIZON - int(base + amplitude * h))
    return tops


def sky_colour(x, y):
    colour = gradient(SKY, y / HORIZON)
    mx, my, mr = MOON
    d = math.hypot(x - mx, y - my)
    if d <= mr:
        return (236, 230, 214)
    glow = max(0.0, 1.0 - (d - mr) / 260.0) ** 2 * 0.55
    return tuple(lerp(c, 236, glow) for c in colour)


def draw():
    rng = random.Random(2026)
    stars = {(rng.randrange(WIDTH), rng.randrange(int(HORIZON * 0.6))): rng.uniform(0.4, 1.0)
             for _ in range(700)}
    tops = [ridge_heights(base, amp, seed) for base, amp, _, seed in RIDGES]
    land = [[None] * HORIZON for _ in range(WIDTH)]
    for (base, amp, colour, seed), top in zip(RIDGES, tops):
        for x in range(WIDTH):
            for y in range(max(0, top[x]), HORIZON):
                # Haze: each ridge lightens towards its own foot.
                t = (y - top[x]) / max(1, HORIZON - top[x])
                land[x][y] = tuple(lerp(c, c * 0.75 + 40, t * 0.5) for c in colour)

    above = []
    for y in range(HORIZON):
        row = []
        for x in range(WIDTH):
            pixel = land[x][y]
            if pixel is None:
                pixel = sky_colour(x, y)
                if (x, y) in stars:
                    pixel = tuple(lerp(c, 255, stars[(x, y)] * (1 - y / HORIZON)) for c in pixel)
            row.append(pixel)
        above.append(row)

    rows = list(above)
    # The lake mirrors the landscape, darker and rippled the nearer it gets.
    for y in range(HORIZON, HEIGHT):
        depth = (y - HORIZON) / (HEIGHT - HORIZON)
        source = above[max(0, HORIZON - 1 - int((y - HORIZON) * 1.15))]
        shift = int(6 * depth * math.sin(y * 0.9))
        darken = 0.55 - 0.25 * depth
        row = []
        for x in range(WIDTH):
            r, g, b = source[min(WIDTH - 1, max(0, x + shift))]
            row.append((r * darken + 4, g * darken + 8, b * darken + 16))
        rows.append(row)
    return rows


def png(rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw.extend(max(0, min(255, int(c))) for c in pixel)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as out:
        out.write(png(draw()))
