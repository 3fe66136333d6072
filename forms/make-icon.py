#!/usr/bin/env python3
"""Draws the window icon and writes it as a Windows icon file (myappico.ico beside this script).

The glyph is a white camera on a blue rounded square whose lens is a clock face: the boards take
photos on a schedule. It is drawn procedurally with supersampled coverage, so the output depends
only on this script. The file holds six 32-bit images, 16 to 128 pixels as BMP entries (with
their AND mask) and 256 pixels as a PNG entry, as icon files customarily do.

Usage: make-icon.py [output path]
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48, 64, 128, 256)
PNG_FROM_SIZE = 256  # entries this large are stored PNG-compressed
SUPERSAMPLING = 4  # samples per pixel along each axis

NAVY = (18, 36, 104)
WHITE = (255, 255, 255)
FACE = (228, 238, 255)
AMBER = (255, 176, 0)
TOP_BLUE = (48, 130, 255)
BOTTOM_BLUE = (0, 72, 208)


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        dx = max(x0 + radius - x, 0.0, x - (x1 - radius))
        dy = max(y0 + radius - y, 0.0, y - (y1 - radius))
        return dx * dx + dy * dy <= radius * radius and x0 <= x <= x1 and y0 <= y <= y1

    return inside


def disc(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def capsule(ax, ay, bx, by, radius):
    """A stroke of the given half-width from (ax, ay) to (bx, by) with round ends."""
    vx, vy = bx - ax, by - ay
    length2 = vx * vx + vy * vy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / length2))
        px, py = ax + t * vx - x, ay + t * vy - y
        return px * px + py * py <= radius * radius

    return inside


def background(x, y):
    t = max(0.0, min(1.0, y))
    return tuple(round(a + (b - a) * t) for a, b in zip(TOP_BLUE, BOTTOM_BLUE))


LENS_X, LENS_Y = 0.5, 0.56


def hand(angle_deg, length, half_width):
    angle = math.radians(angle_deg)
    return capsule(LENS_X, LENS_Y, LENS_X + length * math.sin(angle),
                   LENS_Y - length * math.cos(angle), half_width)


# Shapes in painting order, in the unit square with y downwards; a colour of None takes the
# background gradient.
SHAPES = (
    (rounded_rect(0.03, 0.03, 0.97, 0.97, 0.2), None),
    (rounded_rect(0.35, 0.20, 0.65, 0.36, 0.05), WHITE),  # viewfinder
    (rounded_rect(0.13, 0.30, 0.87, 0.82, 0.09), WHITE),  # body
    (disc(LENS_X, LENS_Y, 0.205), NAVY),  # lens ring
    (disc(LENS_X, LENS_Y, 0.150), FACE),  # clock face
    (hand(0, 0.115, 0.022), NAVY),  # minute hand at twelve
    (hand(120, 0.085, 0.026), NAVY),  # hour hand at four
    (disc(LENS_X, LENS_Y, 0.032), NAVY),
    (disc(0.765, 0.40, 0.042), AMBER),  # wake-up lamp
)


def render(size):
    """Returns the image as rows of (r, g, b, a) tuples, top row first."""
    n = SUPERSAMPLING
    samples = n * n
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(n):
                y = (py + (sy + 0.5) / n) / size
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    colour = None
                    for inside, fill in SHAPES:
                        if inside(x, y):
                            colour = fill or background(x, y)
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / samples)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png_entry(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def bmp_entry(rows):
    size = len(rows)
    mask_stride = (size + 31) // 32 * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        pixels += b"".join(bytes((b, g, r, a)) for r, g, b, a in row)
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # BITMAPINFOHEADER: the height counts the colour image and the mask.
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def icon_file(sizes):
    entries = []
    for size in sizes:
        rows = render(size)
        entries.append((size, png_entry(rows) if size >= PNG_FROM_SIZE else bmp_entry(rows)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, data in entries:
        dim = size % 256  # 256 is written as 0
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in entries)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "myappico.ico")
    with open(path, "wb") as f:
        f.write(icon_file(SIZES))


if __name__ == "__main__":
    main()
