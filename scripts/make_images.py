#!/usr/bin/env python3
"""Draws the program's images for the resource script.

    make_images.py OUTPUT_FOLDER

Every image is computed here, pixel by pixel, so the build needs nothing but
python3 and the pictures are the same on every machine. To add an image, write
a function that returns rows of (r, g, b) pixels and list it in IMAGES.
"""

import math
import os
import struct
import sys


def write_bmp(path, width, height, pixel):
    """Writes a 24-bit bottom-up BMP; pixel(x, y) gives (r, g, b), y downwards."""
    row_size = (width * 3 + 3) & ~3
    image_size = row_size * height
    header_size = 14 + 40
    out = bytearray()
    out += struct.pack('<2sIHHI', b'BM', header_size + image_size, 0, 0, header_size)
    out += struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, image_size,
                       2835, 2835, 0, 0)
    padding = bytes(row_size - width * 3)
    for y in range(height - 1, -1, -1):
        for x in range(width):
            r, g, b = pixel(x, y)
            out += bytes((b, g, r))
        out += padding
    tmp = path + '.tmp'
    with open(tmp, 'wb') as f:
        f.write(out)
    os.replace(tmp, path)


def mix(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def coverage(distance):
    """Anti-aliased edge: 1 inside, 0 outside, a one-pixel ramp between."""
    return min(max(0.5 - distance, 0.0), 1.0)


def about_picture(x, y):
    """A stack of listed files under a magnifying glass, on a dusk gradient."""
    width, height = 279, 225
    # Background: night blue at the top to teal at the bottom, with a soft glow.
    colour = mix((18, 32, 74), (22, 120, 128), y / (height - 1))
    glow = math.hypot(x - 170, y - 95) / 150.0
    colour = mix((90, 170, 200), colour, glow)

    # Two sheets of paper, the back one offset, each with lines of "paths".
    for ox, oy, shade in ((62, 38, (206, 214, 226)), (48, 52, (246, 246, 240))):
        left, top, right, bottom = ox, oy, ox + 118, oy + 140
        inside = -min(x - left, right - x, y - top, bottom - y)
        if inside < 0.5:
            colour = mix(colour, shade, coverage(inside))
            if shade[0] > 230 and left + 14 <= x <= right - 14:
                line = (y - top - 20) % 14
                if y > top + 14 and y < bottom - 10 and line < 3:
                    length = 70 + ((y // 14) * 37) % 30
                    if x <= left + 14 + length:
                        colour = (92, 110, 140)

    # The glass: a ring with a light lens, and a handle to the lower right.
    cx, cy, radius = 168, 118, 44
    d = math.hypot(x - cx, y - cy)
    if d < radius - 6:
        colour = mix(colour, (200, 235, 255), 0.35)
    ring = abs(d - radius) - 6
    colour = mix(colour, (40, 44, 52), coverage(ring))
    hx, hy = x - cx, y - cy
    along = (hx + hy) / math.sqrt(2)
    across = abs(hx - hy) / math.sqrt(2)
    if radius + 2 <= along <= radius + 62:
        colour = mix(colour, (120, 72, 36), coverage(across - 9))

    # A tick in the lens: the files checked out.
    tx, ty = x - cx, y - cy
    for (ax, ay), (bx, by) in (((-20, 0), (-6, 14)), ((-6, 14), (22, -16))):
        vx, vy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((tx - ax) * vx + (ty - ay) * vy) / (vx * vx + vy * vy)))
        dist = math.hypot(tx - (ax + t * vx), ty - (ay + t * vy))
        colour = mix(colour, (30, 160, 70), coverage(dist - 4))

    # A thin frame.
    if x < 2 or y < 2 or x >= width - 2 or y >= height - 2:
        colour = (12, 20, 44)
    return colour


# name: (width, height, pixel function)
IMAGES = {
    'about.bmp': (279, 225, about_picture),
}


def main():
    if len(sys.argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, (width, height, pixel) in IMAGES.items():
        write_bmp(os.path.join(folder, name), width, height, pixel)
    return 0


if __name__ == '__main__':
    sys.exit(main())
