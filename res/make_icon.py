#!/usr/bin/env python3
"""Draws the application icon (16, 32 and 128 px, 32-bit colour) and writes CleanupVnQRX.ico.

Reproducible: the picture is computed, nothing is read. Run it again after changing the drawing.
"""
import os
import struct

SIZES = (16, 32, 128)


def pixel(x, y, n):
    """RGBA of pixel (x, y) in an n-by-n icon: a blue rounded tile with a white bin and a red cross."""
    u, v = (x + 0.5) / n, (y + 0.5) / n          # 0..1, v grows downwards
    r = 0.18                                      # corner radius of the tile
    cx = min(max(u, r), 1 - r)
    cy = min(max(v, r), 1 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    colour = (30, 90, 170, 255)
    # waste bin: lid and body
    if 0.28 <= u <= 0.72 and 0.24 <= v <= 0.31:
        colour = (245, 245, 245, 255)
    if 0.33 <= u <= 0.67 and 0.34 <= v <= 0.80:
        colour = (245, 245, 245, 255)
        for s in (0.42, 0.5, 0.58):               # ribs
            if abs(u - s) < 0.025 and 0.40 <= v <= 0.74:
                colour = (30, 90, 170, 255)
    # red cross in the lower right corner
    du, dv = u - 0.74, v - 0.74
    if abs(du) < 0.17 and abs(dv) < 0.17 and (abs(du - dv) < 0.06 or abs(du + dv) < 0.06):
        colour = (215, 40, 40, 255)
    return colour


def image(n):
    rows = []
    for y in reversed(range(n)):                  # DIBs are stored bottom-up
        rows.append(b"".join(struct.pack("<BBBB", b, g, r, a)
                             for (r, g, b, a) in (pixel(x, y, n) for x in range(n))))
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    and_mask = bytes(mask_row * n)                # alpha carries the shape
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main():
    images = [image(n) for n in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "CleanupVnQRX.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
