#!/usr/bin/env python3
"""Draws the converter's icon (two table cylinders and an arrow between
them) and writes res/converter.ico with 32x32 and 16x16 images.
Run: python3 app/res/make_icon.py app/res/converter.ico"""
import struct
import sys


def pixel(x, y, n):
    """RGBA of pixel (x, y) of an n x n image, y from the top."""
    s = n / 32.0
    X, Y = x / s, y / s

    def cylinder(cx, top, bottom, body, lid):
        rx, ry = 6.5, 2.5
        if abs(X - cx) > rx:
            return None
        dy = ry * (1 - ((X - cx) / rx) ** 2) ** 0.5
        if top - dy <= Y <= top + dy:
            return lid
        if top <= Y <= bottom + dy:
            return body
        return None

    left = cylinder(8.5, 6, 22, (40, 90, 170, 255), (120, 170, 230, 255))
    right = cylinder(23.5, 10, 26, (30, 130, 70, 255), (110, 200, 140, 255))
    if left:
        return left
    if right:
        return right
    # The arrow from left to right, below the cylinders.
    if 27 <= Y <= 29 and 6 <= X <= 22:
        return (200, 60, 30, 255)
    if 22 <= X <= 26 and abs(Y - 28) <= (26 - X) * 0.9:
        return (200, 60, 30, 255)
    return (0, 0, 0, 0)


def image(n):
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        row = b''
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            row += bytes((b, g, r, a))
        rows.append(row)
    mask_row = ((n + 31) // 32) * 4
    mask = b''
    for y in range(n - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(n):
            if pixel(x, y, n)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(row)
    return header + b''.join(rows) + mask


def main(path):
    images = [image(32), image(16)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip((32, 16), images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'converter.ico')
