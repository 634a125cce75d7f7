#!/usr/bin/env python3
"""Draws the program's icon and writes it as a .ico file of several sizes.

The picture: a white steering wheel (rim, hub, three spokes) on a rounded blue
square in the panel's accent colour, drawn on a 64-unit square and rendered
at each size: 16, 20, 24 and 32 px are the small icon at 100% to 200% scaling,
32, 40, 48 and 64 px the large one at 100% to 200% (64 px is also the file's
icon in Explorer's larger views). Each image has 32 bits per pixel (BGRA with alpha),
stored the classic way: a bottom-up DIB of double height followed by its 1-bit
AND mask. Edges are smoothed by 4 x 4 supersampling.

    python3 app/icon/make_icon.py app/icon/tarvix.ico

Only the standard library is used, so the output is the same on every machine.
"""

import math
import struct
import sys

DESIGN = 64  # the drawing's units
SIZES = (16, 20, 24, 32, 40, 48, 64)
SAMPLES = 4  # per axis, per pixel

ACCENT = (37, 99, 235)
WHEEL = (255, 255, 255)

CENTER = DESIGN / 2.0
CORNER_RADIUS = 12.0
RIM_OUTER = 25.0
RIM_INNER = 19.5
HUB_RADIUS = 7.0
SPOKE_HALF_WIDTH = 3.0
# Below 32 px a line thinner than this many pixels fades into the blue.
MIN_RIM_PX = 2.0
MIN_SPOKE_PX = 1.5


def inside_rounded_square(x, y):
    """Background: the whole square with rounded corners."""
    r = CORNER_RADIUS
    cx = min(max(x, r), DESIGN - r)
    cy = min(max(y, r), DESIGN - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def inside_wheel(x, y, rim_inner, spoke_half_width):
    d = math.hypot(x - CENTER, y - CENTER)
    if rim_inner <= d <= RIM_OUTER:
        return True
    if d <= HUB_RADIUS:
        return True
    spoke_end = (rim_inner + RIM_OUTER) / 2.0
    # Left, right and bottom spokes, as on a road car's wheel.
    for angle in (180.0, 0.0, 90.0):
        a = math.radians(angle)
        ex = CENTER + spoke_end * math.cos(a)
        ey = CENTER + spoke_end * math.sin(a)
        if distance_to_segment(x, y, CENTER, CENTER, ex, ey) <= spoke_half_width:
            return True
    return False


def render(size):
    """Rows top to bottom, each a list of (r, g, b, a)."""
    rows = []
    step = 1.0 / SAMPLES
    scale = DESIGN / size  # units per pixel
    rim_inner = RIM_OUTER - max(RIM_OUTER - RIM_INNER, MIN_RIM_PX * scale)
    spoke_half_width = max(SPOKE_HALF_WIDTH, MIN_SPOKE_PX * scale / 2)
    for py in range(size):
        row = []
        for px in range(size):
            background = 0
            wheel = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) * step) * scale
                    y = (py + (sy + 0.5) * step) * scale
                    if inside_rounded_square(x, y):
                        background += 1
                        if inside_wheel(x, y, rim_inner, spoke_half_width):
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


def image_bytes(rows):
    """One image of the file: its BITMAPINFOHEADER, colours and mask."""
    size = len(rows)
    xor = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))

    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def ico_bytes(images):
    """The directory, one 16-byte entry per image, then the images in order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(image for _, image in images)


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    with open(sys.argv[1], "wb") as out:
        out.write(ico_bytes([(size, image_bytes(render(size))) for size in SIZES]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
