#!/usr/bin/env python3
"""Draws the program icon (16 colours, 32x32 and 16x16) into res/quorvane.ico."""
import math
import struct
import sys

# The standard 16-colour palette (B, G, R, 0).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, NAVY, RED, WHITE, YELLOW = 0, 4, 9, 15, 11


def inside(px, py, pts):
    """Point in polygon, even-odd rule."""
    hit = False
    for i in range(len(pts)):
        (x1, y1), (x2, y2) = pts[i], pts[i - 1]
        if (y1 > py) != (y2 > py) and px < (x2 - x1) * (py - y1) / (y2 - y1) + x1:
            hit = not hit
    return hit


def pixel(x, y, n):
    """A navy globe with a yellow graticule and a red arrowhead for the vehicle."""
    c = (n - 1) / 2
    fx, fy = (x - c) / (n / 2), (y - c) / (n / 2)
    r = math.hypot(fx, fy)
    arrow = [(0.0, -0.75), (0.5, 0.6), (0.0, 0.3), (-0.5, 0.6)]
    if inside(fx, fy, arrow):
        return RED
    if r <= 0.95:
        if abs(r - 0.93) < 0.07 or abs(fx) < 1.0 / n or abs(fy) < 1.0 / n:
            return YELLOW
        return NAVY
    return None  # transparent


def image(n):
    rows_xor, rows_and = [], []
    for y in reversed(range(n)):  # bottom-up
        xor, mask = [], []
        for x in range(n):
            p = pixel(x, y, n)
            xor.append(BLACK if p is None else p)
            mask.append(1 if p is None else 0)
        b = bytearray((xor[i] << 4) | xor[i + 1] for i in range(0, n, 2))
        b += b"\0" * ((-len(b)) % 4)
        rows_xor.append(bytes(b))
        m = bytearray()
        for i in range(0, n, 8):
            byte = 0
            for j in range(8):
                byte = (byte << 1) | (mask[i + j] if i + j < n else 0)
            m.append(byte)
        m += b"\0" * ((-len(m)) % 4)
        rows_and.append(bytes(m))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + pal + b"".join(rows_xor) + b"".join(rows_and)


def main(path):
    sizes = [32, 16]
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "res/quorvane.ico")
