#!/usr/bin/env python3
"""Draws the two pictures the plugin carries for its screens (ui/pictures/*.jpg).

Picture 0: a warm evening landscape (sun, layered hills, a lake with its reflection).
Picture 1: a city skyline at blue hour (towers with lit windows over calm water).

Only the standard library draws; Debian's cjpeg (libjpeg-turbo-progs) encodes. The output is
deterministic, so re-running it gives the committed bytes again:
    python3 tools/gen/embedded_pictures.py ui/pictures
"""
import math
import os
import random
import subprocess
import sys

W, H = 1280, 720
QUALITY = "88"


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    t = max(0.0, min(1.0, t))
    return (lerp(c1[0], c2[0], t), lerp(c1[1], c2[1], t), lerp(c1[2], c2[2], t))


def ramp(stops, t):
    """Colour at t (0..1) on a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0))
    return stops[-1][1]


def smooth(t):
    t = max(0.0, min(1.0, t))
    return t * t * (3 - 2 * t)


def ridge(x, seed, base, amp, waves):
    """Height of a hill line at column x: a few soft sine waves."""
    y = base
    for i, (freq, weight) in enumerate(waves):
        y += amp * weight * math.sin(x * freq / W * 2 * math.pi + seed * (i + 1) * 1.7)
    return y


def dither(rng):
    return (rng.random() - 0.5) * 2.0


def landscape():
    rng = random.Random(7)
    horizon = int(H * 0.64)
    sun_x, sun_y, sun_r = W * 0.68, horizon - 95, 46
    sky = [(0.0, (38, 52, 104)), (0.45, (122, 92, 140)), (0.75, (236, 142, 110)), (1.0, (252, 212, 150))]
    hills = [  # (base line, amplitude, waves, colour), far to near
        (horizon - 70, 26, [(1.3, 1.0), (3.1, 0.45), (7.0, 0.15)], (150, 112, 142)),
        (horizon - 30, 34, [(0.9, 1.0), (2.3, 0.5), (5.5, 0.2)], (104, 78, 118)),
        (horizon + 4, 22, [(1.7, 1.0), (4.2, 0.35), (9.0, 0.12)], (62, 50, 86)),
    ]
    lines = [[ridge(x, s + 1, b, a, w) for x in range(W)] for s, (b, a, w, _) in enumerate(hills)]

    def above_water(x, y):
        t = y / horizon
        c = ramp(sky, t)
        d = math.hypot(x - sun_x, y - sun_y)
        glow = math.exp(-d / 170.0) * 0.55
        c = mix(c, (255, 226, 170), glow)
        if d < sun_r:
            c = mix((255, 244, 214), c, smooth((d - sun_r + 3) / 3))
        for (_, _, _, colour), line in zip(hills, lines):
            if y >= line[x]:
                haze = math.exp(-(y - line[x]) / 60.0) * 0.25
                c = mix(colour, (236, 160, 130), haze)
        return c

    rows = bytearray()
    for y in range(H):
        for x in range(W):
            if y < horizon:
                c = above_water(x, y)
            else:
                depth = (y - horizon) / (H - horizon)
                ry = horizon - 1 - (y - horizon) * 0.9
                ripple = math.sin(y * 0.9 + math.sin(x * 0.013) * 3) * (1.0 + 3.5 * depth)
                rx = int(max(0, min(W - 1, x + ripple)))
                c = above_water(rx, int(max(0, ry)))
                c = mix(c, (40, 46, 92), 0.25 + 0.45 * depth)
            n = dither(rng)
            rows += bytes((int(max(0, min(255, c[0] + n))), int(max(0, min(255, c[1] + n))),
                           int(max(0, min(255, c[2] + n)))))
    return rows


def skyline():
    rng = random.Random(11)
    water = int(H * 0.74)
    sky = [(0.0, (14, 38, 70)), (0.55, (34, 92, 120)), (0.85, (110, 170, 168)), (1.0, (196, 226, 206))]
    # Towers: (left, right, top, colour, window colour), back row first.
    towers = []
    for row, (shade, count, lo, hi) in enumerate([((40, 74, 96), 16, 0.30, 0.55), ((18, 40, 58), 13, 0.18, 0.45)]):
        x = -20 + row * 30
        while x < W:
            w = rng.randint(48, 118) - row * 6
            top = int(water - (water * rng.uniform(lo, hi)))
            towers.append((x, x + w, top, shade, row))
            x += w + rng.randint(4, 26)
    lit = {}
    for i, (l, r, top, _, row) in enumerate(towers):
        for wy in range(top + 12, water - 6, 14):
            for wx in range(l + 8, r - 8, 12):
                if rng.random() < (0.33 if row else 0.22):
                    lit[(i, wx, wy)] = rng.choice([(255, 214, 140), (250, 236, 190), (180, 226, 230)])
    moon_x, moon_y = W * 0.18, H * 0.16

    column_owner = [[None] * W for _ in range(2)]
    for i, (l, r, top, _, row) in enumerate(towers):
        for x in range(max(0, l), min(W, r)):
            column_owner[row][x] = i

    window_at = {}
    for (i, wx, wy), colour in lit.items():
        for dy in range(7):
            for dx in range(6):
                window_at[(wx + dx, wy + dy)] = (i, colour)

    def above_water(x, y):
        c = ramp(sky, y / water)
        d = math.hypot(x - moon_x, y - moon_y)
        c = mix(c, (220, 240, 236), math.exp(-d / 90.0) * 0.45)
        if d < 24:
            c = mix((246, 250, 240), c, smooth((d - 21) / 3))
        for row in (0, 1):
            i = column_owner[row][x]
            if i is not None and y >= towers[i][2]:
                l, r, top, shade, _ = towers[i]
                edge = 0.12 if x - l < 3 else 0.0
                c = mix(shade, (120, 180, 190), edge + 0.18 * (1 - (y - top) / max(1, water - top)) * row)
                w = window_at.get((x, y))
                if w and w[0] == i:
                    c = w[1]
        return c

    rows = bytearray()
    for y in range(H):
        for x in range(W):
            if y < water:
                c = above_water(x, y)
            else:
                depth = (y - water) / (H - water)
                ripple = math.sin(y * 1.3 + x * 0.021) * (2 + 9 * depth)
                ry = water - 1 - (y - water) * 1.1
                c = above_water(int(max(0, min(W - 1, x + ripple))), int(max(0, ry)))
                c = mix(c, (10, 30, 52), 0.35 + 0.4 * depth)
            n = dither(rng)
            rows += bytes((int(max(0, min(255, c[0] + n))), int(max(0, min(255, c[1] + n))),
                           int(max(0, min(255, c[2] + n)))))
    return rows


def write_jpeg(path, rgb):
    ppm = b"P6\n%d %d\n255\n" % (W, H) + bytes(rgb)
    jpeg = subprocess.run(["cjpeg", "-quality", QUALITY, "-optimize", "-sample", "1x1"],
                          input=ppm, stdout=subprocess.PIPE, check=True).stdout
    with open(path, "wb") as f:
        f.write(jpeg)
    print(f"{path}: {len(jpeg)} bytes")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "ui/pictures"
    os.makedirs(out, exist_ok=True)
    write_jpeg(os.path.join(out, "picture0.jpg"), landscape())
    write_jpeg(os.path.join(out, "picture1.jpg"), skyline())


if __name__ == "__main__":
    main()
