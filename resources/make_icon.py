#!/usr/bin/env python3
"""Draws the application icon: a serial port connector crossed out in red.

Writes resources/driver_removal.ico with 32x32 and 16x16 images in 16 colours
(4 bits a pixel, the standard VGA palette, with a transparency mask).
"""
import struct
import sys

# The 16 standard colours, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREY, LIGHT_GREY, RED = 0, 8, 7, 9
TRANSPARENT = None


def draw(size):
    """Returns rows of palette indexes (or TRANSPARENT), top row first."""
    s = size / 32.0
    pixels = [[TRANSPARENT] * size for _ in range(size)]

    def inside_connector(x, y):
        # A D-shaped shell: wider at the top than at the bottom.
        top, bottom = 9 * s, 23 * s
        if not top <= y < bottom:
            return False
        inset = 2 * s + (y - top) / (bottom - top) * 3 * s
        return 2 * s + inset - 2 * s <= x < size - inset

    for y in range(size):
        for x in range(size):
            if inside_connector(x + 0.5, y + 0.5):
                edge = not (inside_connector(x - 0.5, y + 0.5) and inside_connector(x + 1.5, y + 0.5)
                            and inside_connector(x + 0.5, y - 0.5) and inside_connector(x + 0.5, y + 1.5))
                pixels[y][x] = BLACK if edge else LIGHT_GREY
    # Two rows of pins.
    for row_y, count in ((13, 5), (18, 4)):
        for i in range(count):
            cx = (16 - (count - 1) * 2.5 + i * 5) * s
            cy = row_y * s
            for y in range(size):
                for x in range(size):
                    if abs(x + 0.5 - cx) <= max(1, 1.2 * s) and abs(y + 0.5 - cy) <= max(0.5, 1.2 * s):
                        pixels[y][x] = DARK_GREY
    # The red bar from top left to bottom right.
    width = 2.2 * s
    for y in range(size):
        for x in range(size):
            if abs((x + 0.5) - (y + 0.5)) <= width and 2 * s <= x < size - 2 * s:
                pixels[y][x] = RED
    return pixels


def image_bytes(size):
    pixels = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):  # bottom row first
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        packed = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))
        xor_rows.append(packed + b"\0" * (-len(packed) % 4))
        bits = 0
        mask = bytearray()
        for i, p in enumerate(row):
            bits = (bits << 1) | (1 if p is TRANSPARENT else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b"\0" * (-len(mask) % 4))
    return header + palette + b"".join(xor_rows) + b"".join(and_rows)


def main(path):
    images = [image_bytes(32), image_bytes(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/driver_removal.ico")
