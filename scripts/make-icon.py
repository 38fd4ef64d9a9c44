#!/usr/bin/env python3
"""Writes src/app/res/AddinsReset.ico: a 32x32 and a 16x16 image, 16 colours each.

The icon is drawn here rather than in an editor so that it can be reviewed and
changed as text. Run it from the repository root after changing the drawing.
"""
import struct
import sys

# The standard 16-colour VGA palette, as (R, G, B).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, TEAL, GREY, BLUE, WHITE, YELLOW = 4, 6, 8, 12, 15, 11


def draw(size):
    """A blue rounded tile with a white K and a yellow arrow turning back to it."""
    pixels = [[None] * size for _ in range(size)]
    s = size / 32.0
    corner = max(2, round(5 * s))
    for y in range(size):
        for x in range(size):
            dx = max(corner - x, x - (size - 1 - corner), 0)
            dy = max(corner - y, y - (size - 1 - corner), 0)
            if dx * dx + dy * dy <= corner * corner:
                edge = dx * dx + dy * dy > (corner - 1) ** 2 or x in (0, size - 1) or y in (0, size - 1)
                pixels[y][x] = NAVY if edge else BLUE

    def put(x, y, colour):
        if 0 <= x < size and 0 <= y < size and pixels[y][x] is not None:
            pixels[y][x] = colour

    stroke = max(1, round(3 * s))
    top, bottom = round(6 * s), round(25 * s)
    stem = round(9 * s)
    for y in range(top, bottom + 1):
        for w in range(stroke):
            put(stem + w, y, WHITE)
    middle = (top + bottom) // 2
    for i in range(0, bottom - middle + 1):
        for w in range(stroke):
            put(stem + stroke + i + w, middle - i, WHITE)
            put(stem + stroke + i + w, middle + i, WHITE)
    # A small yellow arrow head at the top right: "reset".
    tip = round(24 * s)
    for i in range(max(2, round(4 * s))):
        for j in range(-i, i + 1):
            put(tip + j, round(5 * s) + i, YELLOW)
    return pixels


def image(size):
    pixels = draw(size)
    xor_row = (size * 4 + 31) // 32 * 4
    and_row = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            colour = pixels[y][x]
            index = 0 if colour is None else colour
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += row
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main(path):
    images = [(32, image(32)), (16, image(16))]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "src/app/res/AddinsReset.ico")
