#!/usr/bin/env python3
"""Draws the program's icon and writes it as an ICO file.

The motif is a small collage: four coloured pictures in a light frame on a
dark, rounded tile. Every size is drawn from the same shapes with 4 x 4
supersampling, so the small sizes stay crisp. The 16, 32 and 48 pixel
images are stored as 32-bit DIBs with their AND mask, the 256 pixel image
as PNG, as icon files usually hold them.

    scripts/make-app-icon.py viewer/app.ico
"""
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SAMPLES = 4

# Shapes in a 0..1 square, later ones on top: (kind, box, radius, colour).
TILE = (0.04, 0.04, 0.96, 0.96)
FRAME = (0.12, 0.16, 0.88, 0.84)
PICTURES = [
    ((0.17, 0.22, 0.52, 0.52), (0xE5, 0x39, 0x35)),  # red
    ((0.56, 0.22, 0.83, 0.52), (0xFB, 0xC0, 0x2D)),  # yellow
    ((0.17, 0.56, 0.40, 0.78), (0x43, 0xA0, 0x47)),  # green
    ((0.44, 0.56, 0.83, 0.78), (0x1E, 0x88, 0xE5)),  # blue
]
SUN = (0.70, 0.34, 0.07)  # centre x, y and radius, in the yellow picture


def inside_rounded(x, y, box, radius):
    l, t, r, b = box
    if x < l or x > r or y < t or y > b:
        return False
    cx = min(max(x, l + radius), r - radius)
    cy = min(max(y, t + radius), b - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(x, y):
    """The colour (r, g, b, a) of the point (x, y) of the unit square."""
    if not inside_rounded(x, y, TILE, 0.16):
        return (0, 0, 0, 0)
    c = (0x26, 0x32, 0x38)
    if inside_rounded(x, y, FRAME, 0.03):
        c = (0xF5, 0xF5, 0xF0)
    for box, colour in PICTURES:
        if inside_rounded(x, y, box, 0.015):
            c = colour
    sx, sy, sr = SUN
    if (x - sx) ** 2 + (y - sy) ** 2 <= sr ** 2:
        c = (0xFF, 0xF8, 0xE1)
    return c + (255,)


def render(size):
    """Rows top-down of (r, g, b, a), averaged over the samples."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                           (py + (sy + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            a = acc[3]
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((acc[0] // a, acc[1] // a, acc[2] // a, a // n))
        rows.append(row)
    return rows


def dib(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(path):
    images = [(s, png(render(s)) if s >= 256 else dib(render(s))) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "viewer/app.ico")
