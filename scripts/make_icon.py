#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows .ico file.

The icon holds three images: 32 x 32 with 16 colours, 32 x 32 with 256
colours and 48 x 48 with 256 colours. The picture: a sheet of paper with a
folded corner, a blue seal over its lower right part and a white tick in
the seal (a signature that checks out).

    make_icon.py OUTPUT.ico
"""
import math
import struct
import sys

# The standard 16-colour palette.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

PAPER = (250, 250, 244)
PAPER_EDGE = (96, 96, 96)
LINES = (150, 160, 176)
SEAL = (24, 80, 184)
SEAL_RING = (8, 40, 120)
TICK = (255, 255, 255)


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def shade(u, v):
    """Colour of the picture at (u, v) in the unit square, or None."""
    colour = None
    # Paper with a folded top right corner.
    if 0.14 <= u <= 0.74 and 0.06 <= v <= 0.94 and (u - 0.56) <= (v - 0.06):
        edge = min(u - 0.14, 0.74 - u, v - 0.06, 0.94 - v)
        colour = PAPER_EDGE if edge < 0.035 else PAPER
        if abs((u - 0.56) - (v - 0.06)) < 0.03:
            colour = PAPER_EDGE
        for line in (0.32, 0.44, 0.56):
            if abs(v - line) < 0.025 and 0.24 <= u <= 0.62:
                colour = LINES
    if 0.56 <= u <= 0.74 and 0.06 <= v <= 0.24 and (u - 0.56) > (v - 0.06) - 0.03 and u <= 0.56 + (v - 0.06) + 0.03:
        colour = PAPER_EDGE
    # The seal.
    r = math.hypot(u - 0.68, v - 0.68)
    if r <= 0.30:
        colour = SEAL_RING if r > 0.25 else SEAL
        d = min(distance_to_segment(u, v, 0.55, 0.68, 0.65, 0.78),
                distance_to_segment(u, v, 0.65, 0.78, 0.82, 0.56))
        if d < 0.05:
            colour = TICK
    return colour


def render(size):
    """Rows of (r, g, b) or None (transparent), top row first."""
    samples = 4
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            hits = []
            for sy in range(samples):
                for sx in range(samples):
                    c = shade((x + (sx + 0.5) / samples) / size, (y + (sy + 0.5) / samples) / size)
                    if c is not None:
                        hits.append(c)
            if len(hits) * 2 < samples * samples:
                row.append(None)
            else:
                row.append(tuple(sum(c[i] for c in hits) // len(hits) for i in range(3)))
        rows.append(row)
    return rows


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def palette_256(rows):
    used = []
    for row in rows:
        for c in row:
            if c is not None and c not in used:
                used.append(c)
    palette = [(0, 0, 0)] + used[:255]
    return palette + [(0, 0, 0)] * (256 - len(palette))


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def icon_image(rows, bits):
    size = len(rows)
    palette = VGA16 if bits == 4 else palette_256(rows)
    xor = b""
    mask = b""
    for row in reversed(rows):  # bitmaps are stored bottom-up
        indexes = [0 if c is None else nearest(palette, c) for c in row]
        if bits == 4:
            line = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, size, 2))
        else:
            line = bytes(indexes)
        xor += padded(line)
        mask_bits = 0
        for c in row:
            mask_bits = (mask_bits << 1) | (1 if c is None else 0)
        mask += padded(mask_bits.to_bytes(size // 8, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0,
                         len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + colours + xor + mask


def main():
    images = [(32, 4), (32, 8), (48, 8)]
    rendered = {size: render(size) for size in (32, 48)}
    blobs = [icon_image(rendered[size], bits) for size, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits, len(blob), offset)
        offset += len(blob)
    out += b"".join(blobs)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
