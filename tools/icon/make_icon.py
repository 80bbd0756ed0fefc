#!/usr/bin/env python3
"""Draws Kestrum's application icon: a pocket player with a pair of beamed notes on its
screen and a click wheel below, in a few flat colours.

Writes a Windows .ico with 16, 32 and 48 pixel images as 32-bit BGRA bitmaps with alpha, and a
256 pixel image as PNG, as Windows Vista and later read it. Standard library only.

Usage: make_icon.py [OUTPUT.ico] [--png DIR]   (default output: res/Kestrum.ico beside tools/)
"""

import math
import os
import struct
import sys
import zlib

# Colours as (r, g, b).
BODY = (0x2B, 0x3A, 0x55)
BODY_EDGE = (0x1B, 0x26, 0x3B)
SCREEN = (0xE8, 0xF1, 0xF2)
NOTE = (0xE4, 0x57, 0x2E)
WHEEL = (0xC9, 0xD6, 0xDF)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry, angle):
    c, s = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * c + dy * s
        v = -dx * s + dy * c
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0

    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result

    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


# Painted in order, later shapes over earlier ones, in a unit square (y downwards).
LAYERS = [
    (rounded_rect(0.17, 0.03, 0.83, 0.97, 0.13), BODY_EDGE),
    (rounded_rect(0.20, 0.06, 0.80, 0.94, 0.10), BODY),
    (rounded_rect(0.26, 0.12, 0.74, 0.52, 0.05), SCREEN),
    # Two note heads, their stems and the beam joining them.
    (ellipse(0.385, 0.445, 0.065, 0.047, -0.35), NOTE),
    (ellipse(0.595, 0.405, 0.065, 0.047, -0.35), NOTE),
    (rect(0.418, 0.215, 0.448, 0.445), NOTE),
    (rect(0.628, 0.175, 0.658, 0.405), NOTE),
    (polygon([(0.418, 0.200), (0.658, 0.160), (0.658, 0.235), (0.418, 0.275)]), NOTE),
    (circle(0.50, 0.745, 0.165), WHEEL),
    (circle(0.50, 0.745, 0.058), BODY),
]


def render(size):
    """RGBA rows, top row first, each pixel the average of a grid of samples."""
    grid = 8 if size <= 48 else 3
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(grid):
                y = (py + (sy + 0.5) / grid) / size
                for sx in range(grid):
                    x = (px + (sx + 0.5) / grid) / size
                    colour = None
                    for inside, fill in LAYERS:
                        if inside(x, y):
                            colour = fill
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1.0
            n = grid * grid
            alpha = acc[3] / n
            if acc[3] > 0:
                # Colour averaged over the covered samples only: straight (not premultiplied)
                # alpha, as icons store it.
                rgb = [round(c / acc[3]) for c in acc[:3]]
            else:
                rgb = [0, 0, 0]
            row.append((rgb[0], rgb[1], rgb[2], round(alpha * 255)))
        rows.append(row)
    return rows


def bitmap_image(rows):
    """A 32-bit icon image: header, bottom-up BGRA, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    # The mask marks fully transparent pixels, for readers that ignore alpha.
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(pixels) + bytes(mask)


def png_image(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = bytearray()
    for row in rows:
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)
    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    args = sys.argv[1:]
    png_dir = None
    if "--png" in args:
        i = args.index("--png")
        png_dir = args[i + 1]
        del args[i:i + 2]
    here = os.path.dirname(os.path.abspath(__file__))
    output = args[0] if args else os.path.join(here, "..", "..", "res", "Kestrum.ico")

    images = []
    for size in (16, 32, 48, 256):
        rows = render(size)
        data = png_image(rows) if size == 256 else bitmap_image(rows)
        images.append((size, data))
        if png_dir:
            with open(os.path.join(png_dir, "Kestrum-%d.png" % size), "wb") as f:
                f.write(png_image(rows))

    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        # Width and height 0 stand for 256.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data),
                               offset)
        offset += len(data)
    with open(output, "wb") as f:
        f.write(directory + entries + b"".join(data for _, data in images))


if __name__ == "__main__":
    main()
