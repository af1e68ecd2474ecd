#!/usr/bin/env python3
"""Draws the launcher's icon and writes it as a Windows .ico file.

The icon is a blue rounded square carrying a white tray with an arrow pointing into it
(a package being unpacked), at 16, 24, 32, 48 and 256 pixels, each a PNG image
(Windows reads PNG icon images of any size since Vista, which the launcher's
manifest needs anyway): a fifth of the size of 32-bit BMP images, and every
package carries the icon. Only the Python standard library is used, so the
output is the same on every machine.

Usage: scripts/make-icon.py app/Windows/Tessit.ico
"""
import struct
import sys
import zlib

SIZES = (16, 24, 32, 48, 256)
SUPERSAMPLE = 4
BACKGROUND = (0x1E, 0x63, 0xB4)
FOREGROUND = (0xFF, 0xFF, 0xFF)


def inside_rounded_square(x, y):
    radius = 0.18
    margin = 0.04
    cx = min(max(x, margin + radius), 1 - margin - radius)
    cy = min(max(y, margin + radius), 1 - margin - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_mark(x, y):
    box = 0.24 <= x <= 0.76 and 0.50 <= y <= 0.80
    box_hollow = 0.31 <= x <= 0.69 and 0.50 <= y <= 0.73
    shaft = 0.455 <= x <= 0.545 and 0.18 <= y <= 0.52
    head = 0.40 <= y <= 0.64 and abs(x - 0.5) <= (0.64 - y) * 0.75
    return (box and not box_hollow) or shaft or head


def render(size):
    """Rows of RGBA pixels, top row first."""
    rows = []
    samples = SUPERSAMPLE * SUPERSAMPLE
    for row in range(size):
        pixels = []
        for column in range(size):
            covered = marked = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (column + (sx + 0.5) / SUPERSAMPLE) / size
                    y = (row + (sy + 0.5) / SUPERSAMPLE) / size
                    if inside_rounded_square(x, y):
                        covered += 1
                        marked += inside_mark(x, y)
            alpha = round(255 * covered / samples)
            share = marked / covered if covered else 0
            colour = tuple(round(b + (f - b) * share) for b, f in zip(BACKGROUND, FOREGROUND))
            pixels.append(colour + (alpha,))
        rows.append(pixels)
    return rows


def png_image(size, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def icon_file():
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png_image(size, rows)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        dimension = size if size < 256 else 0
        entries += struct.pack("<BBBBHHII", dimension, dimension, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as output:
        output.write(icon_file())
