#!/usr/bin/env python3
"""Draws the program's icon and writes it as a one-image .ico file.

The picture: a white steering wheel (rim, hub, three spokes) on a rounded blue
square in the panel's accent colour. One 64 x 64 image, 32 bits per pixel
(BGRA with alpha), stored the classic way: a bottom-up DIB of double height
followed by its 1-bit AND mask. Edges are smoothed by 4 x 4 supersampling.

    python3 app/icon/make_icon.py app/icon/tarvix.ico

Only the standard library is used, so the output is the same on every machine.
"""

import math
import struct
import sys

SIZE = 64
SAMPLES = 4  # per axis, per pixel

ACCENT = (37, 99, 235)
WHEEL = (255, 255, 255)

CENTER = SIZE / 2.0
CORNER_RADIUS = 12.0
RIM_OUTER = 25.0
RIM_INNER = 19.5
HUB_RADIUS = 7.0
SPOKE_HALF_WIDTH = 3.0


def inside_rounded_square(x, y):
    """Background: the whole square with rounded corners."""
    r = CORNER_RADIUS
    cx = min(max(x, r), SIZE - r)
    cy = min(max(y, r), SIZE - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def inside_wheel(x, y):
    d = math.hypot(x - CENTER, y - CENTER)
    if RIM_INNER <= d <= RIM_OUTER:
        return True
    if d <= HUB_RADIUS:
        return True
    spoke_end = (RIM_INNER + RIM_OUTER) / 2.0
    # Left, right and bottom spokes, as on a road car's wheel.
    for angle in (180.0, 0.0, 90.0):
        a = math.radians(angle)
        ex = CENTER + spoke_end * math.cos(a)
        ey = CENTER + spoke_end * math.sin(a)
        if distance_to_segment(x, y, CENTER, CENTER, ex, ey) <= SPOKE_HALF_WIDTH:
            return True
    return False


def render():
    """Rows top to bottom, each a list of (r, g, b, a)."""
    rows = []
    step = 1.0 / SAMPLES
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            background = 0
            wheel = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) * step
                    y = py + (sy + 0.5) * step
                    if inside_rounded_square(x, y):
                        background += 1
                        if inside_wheel(x, y):
                            wheel += 1
            total = SAMPLES * SAMPLES
            alpha = background / total
            if background == 0:
                row.append((0, 0, 0, 0))
                continue
            mix = wheel / background
            colour = tuple(round(ACCENT[i] * (1 - mix) + WHEEL[i] * mix) for i in range(3))
            row.append(colour + (round(alpha * 255),))
        rows.append(row)
    return rows


def ico_bytes(rows):
    xor = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))

    mask_stride = ((SIZE + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line

    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask

    icon_dir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    return icon_dir + entry + image


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    with open(sys.argv[1], "wb") as out:
        out.write(ico_bytes(render()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
