#!/usr/bin/env python3
"""Draws the tester's window icon and writes it as a Windows .ico file, or as PNG files.

The picture is a hand-held wand seen from the front: a dark grip, a wider head carrying a
red joystick knob on a gray base, and two blue buttons on the grip. Each image is rendered
from the same shape description on a 32-unit canvas, supersampled for smooth edges, and
stored as a 32-bit BMP (with alpha) plus the 1-bit mask that the format requires.

The PNG files are the desktop menu's icons of the installed tester: the same picture at the
sizes of the freedesktop.org icon theme, one file per size.

Usage: make-icon.py [output]       (default: ombrix.ico beside this script)
       make-icon.py --png [folder] (default: icons/ beside this script; writes
                                    skywandtester-<size>.png for each PNG size)
Python 3 standard library only.
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 32)
PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)
SUPERSAMPLING = 4


def rounded_box(px, py, cx, cy, half_w, half_h, radius):
    """Signed distance to a rounded rectangle centred at (cx, cy)."""
    qx = abs(px - cx) - half_w + radius
    qy = abs(py - cy) - half_h + radius
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def circle(px, py, cx, cy, radius):
    return math.hypot(px - cx, py - cy) - radius


# Shapes painted in order, each (distance function, RGB colour), on a 32 x 32 canvas.
SHAPES = [
    (lambda x, y: rounded_box(x, y, 16.0, 20.5, 5.5, 10.5, 4.0), (0x3A, 0x46, 0x58)),  # grip
    (lambda x, y: rounded_box(x, y, 16.0, 20.5, 3.5, 8.5, 2.5), (0x4E, 0x5D, 0x73)),  # grip face
    (lambda x, y: rounded_box(x, y, 16.0, 9.5, 9.5, 7.5, 5.0), (0x2C, 0x36, 0x45)),  # head
    (lambda x, y: circle(x, y, 16.0, 9.5, 5.5), (0xA8, 0xB2, 0xBF)),  # joystick base
    (lambda x, y: circle(x, y, 16.0, 9.5, 3.5), (0xE0, 0x2E, 0x2E)),  # knob
    (lambda x, y: circle(x, y, 15.0, 8.5, 1.2), (0xF5, 0x8A, 0x8A)),  # knob highlight
    (lambda x, y: circle(x, y, 16.0, 20.5, 2.0), (0x3C, 0xA0, 0xDC)),  # button
    (lambda x, y: circle(x, y, 16.0, 25.5, 2.0), (0x3C, 0xA0, 0xDC)),  # button
]


def render(size):
    """Returns rows top to bottom of (r, g, b, a) tuples with straight alpha."""
    scale = 32.0 / size
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = a = 0.0  # premultiplied accumulation over the samples
            for sy in range(SUPERSAMPLING):
                for sx in range(SUPERSAMPLING):
                    px = (x + (sx + 0.5) / SUPERSAMPLING) * scale
                    py = (y + (sy + 0.5) / SUPERSAMPLING) * scale
                    cr = cg = cb = ca = 0.0
                    for distance, colour in SHAPES:
                        if distance(px, py) <= 0.0:
                            cr, cg, cb = colour
                            ca = 1.0
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            n = SUPERSAMPLING * SUPERSAMPLING
            if a == 0.0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
        rows.append(row)
    return rows


def bmp_image(size):
    """One icon image: BITMAPINFOHEADER, BGRA pixels bottom-up, 1-bit AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            pixels += bytes((b, g, r, a))
    mask = bytearray()
    mask_row_bytes = ((size + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:  # fully transparent: set in the AND mask
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + mask


def ico(sizes):
    images = [bmp_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(size):
    """One RGBA PNG image, 8 bits per channel, no interlacing, fixed compression."""
    raw = bytearray()
    for row in render(size):
        raw.append(0)  # filter type "none" for every scanline
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header)
            + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    if len(sys.argv) > 1 and sys.argv[1] == "--png":
        folder = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "icons")
        os.makedirs(folder, exist_ok=True)
        for size in PNG_SIZES:
            with open(os.path.join(folder, "skywandtester-%d.png" % size), "wb") as f:
                f.write(png(size))
        return
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "ombrix.ico")
    with open(target, "wb") as f:
        f.write(ico(SIZES))


if __name__ == "__main__":
    main()
